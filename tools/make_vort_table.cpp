// Writes a solver table (two header lines, then one record of nine numbers per knot, z
// fastest, x slowest, each "%15.7e", and an empty last line) for the TM010 mode of a
// cylindrical pillbox cavity whose axis is z. The electric field is real (Ez = E0 J0(k r));
// the magnetic field H_phi = (E0 / eta0) J1(k r) is in quadrature, so it goes into the
// imaginary parts. Outside the cavity every field value is zero.
//
//   make_vort_table [--field E|B] [--counts NX NY NZ] [--min X Y Z] [--step DX DY DZ]
//                   [--radius R] [--length L] [--half] OUTPUT
//
// --half keeps only the knots with x <= 0: Nx is then the count from the x minimum (which
// must be negative) up to x = 0, where the YZ plane acts as a magnetic mirror for this mode.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct options {
  char field = 'E';
  long counts[3] = {21, 21, 21};
  double min[3] = {-0.1, -0.1, 0.0};
  double step[3] = {0.01, 0.01, 0.005};
  double radius = 0.0766;  // about 1.5 GHz
  double length = 0.1;
  bool half = false;
  const char* output = nullptr;
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr,
               "make_vort_table: %s\nusage: make_vort_table [--field E|B] [--counts NX NY NZ] "
               "[--min X Y Z] [--step DX DY DZ] [--radius R] [--length L] [--half] OUTPUT\n",
               why);
  std::exit(2);
}

double number(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0') usage("not a number");
  return value;
}

options parse(int argc, char** argv) {
  options o;
  for (int a = 1; a < argc; ++a) {
    const std::string arg = argv[a];
    auto need = [&](int n) {
      if (a + n >= argc) usage(("missing values after " + arg).c_str());
    };
    if (arg == "--field") {
      need(1);
      o.field = argv[++a][0];
    } else if (arg == "--counts") {
      need(3);
      for (long& c : o.counts) c = static_cast<long>(number(argv[++a]));
    } else if (arg == "--min") {
      need(3);
      for (double& m : o.min) m = number(argv[++a]);
    } else if (arg == "--step") {
      need(3);
      for (double& s : o.step) s = number(argv[++a]);
    } else if (arg == "--radius") {
      need(1);
      o.radius = number(argv[++a]);
    } else if (arg == "--length") {
      need(1);
      o.length = number(argv[++a]);
    } else if (arg == "--half") {
      o.half = true;
    } else if (arg.rfind("--", 0) == 0) {
      usage(("unknown option " + arg).c_str());
    } else {
      o.output = argv[a];
    }
  }
  if (o.output == nullptr) usage("no output file");
  if (o.half) {
    if (o.min[0] >= 0 || o.step[0] <= 0) usage("--half needs a negative x minimum and step > 0");
    o.counts[0] = std::lround(-o.min[0] / o.step[0]) + 1;
  }
  if (o.field != 'E' && o.field != 'B') usage("the field is E or B");
  for (long c : o.counts) {
    if (c < 1) usage("counts must be at least 1");
  }
  return o;
}

// The six field values (Re Ex, Im Ex, Re Ey, Im Ey, Re Ez, Im Ez) at one point.
void field_at(const options& o, double x, double y, double z, double* f) {
  constexpr double j01 = 2.404825557695773;  // first zero of J0
  constexpr double e0 = 1.0e6;               // V/m on axis
  constexpr double eta0 = 376.730313668;     // impedance of free space, ohm
  std::memset(f, 0, 6 * sizeof(double));
  const double r = std::hypot(x, y);
  if (r > o.radius || z < 0 || z > o.length) return;
  const double kr = j01 * r / o.radius;
  if (o.field == 'E') {
    f[4] = e0 * std::cyl_bessel_j(0.0, kr);
    return;
  }
  const double h_phi = e0 / eta0 * std::cyl_bessel_j(1.0, kr);
  if (r == 0) return;
  f[1] = -h_phi * y / r;  // Im Hx
  f[3] = h_phi * x / r;   // Im Hy
}

}  // namespace

int main(int argc, char** argv) {
  const options o = parse(argc, argv);
  std::FILE* out = std::fopen(o.output, "wb");
  if (out == nullptr) {
    std::perror(o.output);
    return 1;
  }
  std::fprintf(out, " %15.7e %15.7e %15.7e   TM010 pillbox R=%g L=%g, %s field%s\n", o.min[0],
               o.min[1], o.min[2], o.radius, o.length, o.field == 'E' ? "electric" : "magnetic",
               o.half ? ", half x <= 0" : "");
  std::fprintf(out,
               "      x [m]           y [m]           z [m]          Re %c_x"
               "         Im %c_x         Re %c_y         Im %c_y         Re %c_z"
               "         Im %c_z\n",
               o.field == 'E' ? 'E' : 'H', o.field == 'E' ? 'E' : 'H', o.field == 'E' ? 'E' : 'H',
               o.field == 'E' ? 'E' : 'H', o.field == 'E' ? 'E' : 'H', o.field == 'E' ? 'E' : 'H');
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t used = 0;
  double f[6];
  for (long i = 0; i < o.counts[0]; ++i) {
    // The last knot of a half lies on the mirror plane exactly.
    const double x =
        o.half && i == o.counts[0] - 1 ? 0.0 : o.min[0] + static_cast<double>(i) * o.step[0];
    for (long j = 0; j < o.counts[1]; ++j) {
      const double y = o.min[1] + static_cast<double>(j) * o.step[1];
      for (long k = 0; k < o.counts[2]; ++k) {
        const double z = o.min[2] + static_cast<double>(k) * o.step[2];
        field_at(o, x, y, z, f);
        if (buffer.size() - used < 200) {
          std::fwrite(buffer.data(), 1, used, out);
          used = 0;
        }
        used += static_cast<std::size_t>(
            std::snprintf(buffer.data() + used, 200,
                          "%15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e %15.7e\n", x, y,
                          z, f[0], f[1], f[2], f[3], f[4], f[5]));
      }
    }
  }
  buffer[used++] = '\n';
  std::fwrite(buffer.data(), 1, used, out);
  if (std::fclose(out) != 0) {
    std::perror(o.output);
    return 1;
  }
  return 0;
}
