// VORT2Pelta: converts a VORT field-export table into a Pelta 3-D field map.
#include <cstdio>
#include <iostream>
#include <istream>
#include <string_view>
#include <vector>

#include "app/console.hpp"
#include "app/converter.hpp"
#include "app/interrupt_handler.hpp"
#include "app/progress.hpp"
#include "app/standard_streams.hpp"
#include "platform/arguments.hpp"
#include "platform/descriptor.hpp"
#include "platform/interrupt_guard.hpp"
#include "platform/terminal.hpp"

int main(int argc, char** argv) {
  // First of all: before a file is opened, none may take the place of a closed standard stream.
  vort::occupy_closed_standard_descriptors();
  // Past the file-size limit, or into a pipe whose reader has gone, a write should fail and
  // be reported like any other failure, not kill the process silently. Ignored before the
  // handler is installed, so that they stay ignored.
  vort::ignore_write_signals();
  vort::install_interrupt_handler();
  std::ios::sync_with_stdio(false);
  // How messages show names, for the whole run: as they are where the terminal reads UTF-8.
  const vort::name_charset charset =
      vort::environment_speaks_utf8() ? vort::name_charset::utf8 : vort::name_charset::ascii;
  const std::vector<std::string> arguments = vort::program_arguments(argc, argv);
  const std::vector<std::string_view> args(arguments.begin(), arguments.end());

  vort::progress_display progress;
  const bool show_progress = vort::is_terminal(vort::standard_error);
  if (show_progress) {
    vort::start_progress(progress, stderr, vort::line_eraser_for(vort::standard_error));
  }
  vort::waiting_input_buffer input_buffer(vort::standard_input);
  std::istream input(&input_buffer);
  input.exceptions(std::ios::badbit);  // a failed read says why, as the buffer throws it
  const vort::run_result result =
      vort::run_converter(args, input, std::cout, show_progress ? &progress : nullptr, charset);
  vort::stop_progress(progress);

  std::cout.flush();
  for (const std::string& line : result.diagnostics) std::cerr << line << '\n';
  std::cerr.flush();
  // Only now: a signal while the last lines are written still says what it found.
  vort::remove_interrupt_handler();
  if (!std::cout) return 1;
  return result.status;
}
