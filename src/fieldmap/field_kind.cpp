#include "fieldmap/field_kind.hpp"

namespace vort {

field_kind select_field_kind(char field_id) {
  field_kind kind;
  if (field_id == 'E') {
    kind.scale = 1.0f;
  } else if (field_id == 'B') {
    kind.field_sign = -1.0f;
    kind.axial = true;
    kind.ext = {".bx", ".by", ".bz"};
  }
  return kind;
}

}  // namespace vort
