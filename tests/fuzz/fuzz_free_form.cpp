// The free-form reader over arbitrary bytes, as table text and as dialogue answers: it must
// return values or a positioned error, never read outside the buffer, never loop forever.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "app/dialogue.hpp"
#include "app/failure_text.hpp"
#include "common/failure.hpp"
#include "input/free_form.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void read_as_table(const char* begin, const char* end) {
  vort::text_cursor cursor{begin, end, 1};
  std::int64_t lines = 1;
  for (const char* p = begin; p < end; ++p) lines += *p == '\n';
  for (;;) {
    std::array<double, 9> row{};
    vort::list_read state;
    vort::bad_item bad;
    const char* before = cursor.pos;
    const vort::read_status status = vort::read_reals(cursor, state, row, &bad);
    check(cursor.pos >= begin && cursor.pos <= end && cursor.line >= 1 && cursor.line <= lines);
    if (status == vort::read_status::bad_value) {
      check(bad.text.data() >= begin && bad.text.data() + bad.text.size() <= end);
      check(!bad.text.empty() && bad.value_index >= 0 && bad.value_index < 9);
      check(bad.line >= 1 && bad.line <= lines);
      vort::printable_item(bad.text, vort::name_charset::utf8);
      return;
    }
    if (status == vort::read_status::need_more) {
      check(cursor.pos == end);
      return;
    }
    check(cursor.pos > before);  // every complete read moves on
  }
}

void read_as_counts(const char* begin, const char* end) {
  std::array<std::int32_t, 3> counts{};
  vort::text_cursor cursor{begin, end, 1};
  vort::list_read state;
  vort::bad_item bad;
  vort::read_integers(cursor, state, counts, &bad);
  check(cursor.pos >= begin && cursor.pos <= end);
}

void read_as_answers(const std::string& text) {
  std::istringstream in(text);
  std::ostringstream out;
  vort::console_input console{&in, 0, {}};
  try {
    vort::ask_mesh_data(out, console, vort::name_charset::ascii);
    vort::ask_mirror(out, console);
  } catch (const vort::failure& f) {
    const std::string line = vort::failure_text(f, vort::name_charset::ascii);
    check(!line.empty() && line.find('\n') == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the end is caught.
  std::unique_ptr<char[]> copy(new char[size == 0 ? 1 : size]);
  std::memcpy(copy.get(), data, size);
  read_as_table(copy.get(), copy.get() + size);
  read_as_counts(copy.get(), copy.get() + size);
  read_as_answers(std::string(copy.get(), size));
  return 0;
}
