#include "input/failure.hpp"

#include "input/free_form.hpp"

namespace vort {

std::string in_quotes(const std::string& name) {
  return '"' + printable_item(name) + '"';
}

}  // namespace vort
