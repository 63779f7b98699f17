// The texts Linux tells its memory in, read by pure functions: they build everywhere.
#include <algorithm>
#include <charconv>

#include "platform/memory_room.hpp"

namespace vort {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The whole text as a decimal number, or nothing.
std::optional<std::uint64_t> whole_number(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return {};
  return value;
}

// Splits off the text up to `separator` (all of it when there is none).
std::string_view next_part(std::string_view& text, char separator) {
  const std::size_t end = text.find(separator);
  const std::string_view part = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  return part;
}

// The n-th field (from 0) of a line of blank-separated fields.
std::string_view field(std::string_view line, int n) {
  std::string_view part;
  for (int i = 0; i <= n; ++i) {
    while (line.starts_with(' ')) line.remove_prefix(1);
    part = next_part(line, ' ');
  }
  return part;
}

// A mountinfo path, with its escapes (\040 for a blank) undone.
std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto octal = [&](std::size_t at) { return text[at] >= '0' && text[at] <= '7'; };
    if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool has_option(std::string_view options, std::string_view wanted) {
  while (!options.empty()) {
    if (next_part(options, ',') == wanted) return true;
  }
  return false;
}

}  // namespace

std::optional<std::uint64_t> meminfo_room(std::string_view meminfo) {
  std::optional<std::uint64_t> available, swap{0};
  while (!meminfo.empty()) {
    std::string_view line = next_part(meminfo, '\n');
    const std::string_view name = next_part(line, ':');
    if (name != "MemAvailable" && name != "SwapFree") continue;
    line = trimmed(line);
    if (line.ends_with("kB")) line = trimmed(line.substr(0, line.size() - 2));
    std::optional<std::uint64_t> bytes = whole_number(line);
    if (bytes && *bytes > no_limit_known / 1024) bytes.reset();
    if (bytes) *bytes *= 1024;
    (name == "MemAvailable" ? available : swap) = bytes;
  }
  if (!available || !swap || *swap > no_limit_known - *available) return {};
  return *available + *swap;
}

own_cgroups parse_own_cgroups(std::string_view proc_self_cgroup) {
  own_cgroups own;
  while (!proc_self_cgroup.empty()) {
    std::string_view line = next_part(proc_self_cgroup, '\n');
    const std::string_view id = next_part(line, ':');
    const std::string_view controllers = next_part(line, ':');
    if (line.empty()) continue;  // a line without a path
    if (id == "0" && controllers.empty()) {
      own.unified = std::string(line);
    } else if (has_option(controllers, "memory")) {
      own.memory = std::string(line);
    }
  }
  return own;
}

std::optional<cgroup_mount> find_cgroup_mount(std::string_view mountinfo, bool memory_v1) {
  while (!mountinfo.empty()) {
    const std::string_view line = next_part(mountinfo, '\n');
    const std::size_t dash = line.find(" - ");
    if (dash == std::string_view::npos) continue;
    const std::string_view after = line.substr(dash + 3);
    const std::string_view type = field(after, 0);
    const bool wanted =
        memory_v1 ? type == "cgroup" && has_option(field(after, 2), "memory") : type == "cgroup2";
    const std::string_view root = field(line, 3), point = field(line, 4);
    if (wanted && !root.empty() && !point.empty()) {
      return cgroup_mount{unescaped(root), unescaped(point)};
    }
  }
  return {};
}

std::vector<std::string> cgroup_directories(const cgroup_mount& mount, std::string_view cgroup) {
  const std::string_view root = mount.root == "/" ? std::string_view() : mount.root;
  if (!cgroup.starts_with('/') || !cgroup.starts_with(root)) return {};
  std::string_view below = cgroup.substr(root.size());
  if (!below.empty() && !below.starts_with('/')) return {};  // "/a" is no cgroup of "/ab"
  std::vector<std::string> directories{mount.point};
  std::string directory = mount.point;
  while (!below.empty()) {
    const std::string_view name = next_part(below, '/');
    if (name.empty()) continue;
    // A cgroup outside the namespace's view is shown with "..": its files are not ours.
    if (name == "." || name == "..") return {};
    directory += '/';  // appended apart: GCC 12 warns, wrongly, of the copies in "/" + name
    directory += name;
    directories.push_back(directory);
  }
  std::reverse(directories.begin(), directories.end());
  return directories;
}

std::uint64_t room_under_limit(std::string_view limit, std::string_view usage) {
  if (trimmed(limit) == "max") return no_limit_known;
  const std::optional<std::uint64_t> most = whole_number(trimmed(limit));
  const std::optional<std::uint64_t> used = whole_number(trimmed(usage));
  if (!most || !used) return no_limit_known;
  return *most > *used ? *most - *used : 0;
}

std::optional<std::uint64_t> first_number(std::string_view text) {
  return whole_number(field(text, 0));
}

}  // namespace vort
