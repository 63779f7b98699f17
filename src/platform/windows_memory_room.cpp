// Windows tells the memory it can still commit, and a job object may limit a process or the
// whole job further.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>

#include "platform/memory_room.hpp"

namespace vort {
namespace {

std::uint64_t room_left(std::uint64_t limit, std::uint64_t used) {
  return limit > used ? limit - used : 0;
}

std::uint64_t job_room() {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  if (!::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits, nullptr)) {
    return no_limit_known;
  }
  PROCESS_MEMORY_COUNTERS_EX usage{};
  usage.cb = sizeof usage;
  const std::uint64_t own =
      ::K32GetProcessMemoryInfo(::GetCurrentProcess(),
                                reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&usage), sizeof usage)
          ? usage.PrivateUsage
          : 0;
  std::uint64_t room = no_limit_known;
  const DWORD flags = limits.BasicLimitInformation.LimitFlags;
  if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0) {
    room = std::min<std::uint64_t>(room, room_left(limits.ProcessMemoryLimit, own));
  }
  if ((flags & JOB_OBJECT_LIMIT_JOB_MEMORY) != 0) {
    room = std::min<std::uint64_t>(room, room_left(limits.JobMemoryLimit, own));
  }
  return room;
}

}  // namespace

std::uint64_t memory_room() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  std::uint64_t room = no_limit_known;
  if (::GlobalMemoryStatusEx(&status)) {
    // What can still be committed (memory and page file), and the address space left.
    room = std::min<std::uint64_t>(status.ullAvailPageFile, status.ullAvailVirtual);
  }
  return std::min(room, job_room());
}

}  // namespace vort
