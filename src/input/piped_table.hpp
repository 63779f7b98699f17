// A table read from standard input ("-"): a pipe can be read only once, and the table is
// read more than once (counted, read, searched for the first record that breaks the grid),
// so standard input is first copied, as it is (plain or gzip), into an unnamed temporary
// file, which is then read like any table. Memory stays that of a buffer; the disk holds the
// table's bytes until the run ends, and nothing is left behind however the run ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "input/table_file.hpp"

namespace vort {

// The table name that stands for standard input.
inline constexpr std::string_view piped_table_argument = "-";

// What messages call a table read from standard input.
inline constexpr const char* piped_table_name = "standard input";

// The copy grows by this factor between two counts of the records it holds.
inline constexpr std::uint64_t first_record_count_at = std::uint64_t{256} << 20;
inline constexpr std::uint64_t record_count_growth = 4;

// Copies the stream `input` (standard input), refusing a terminal, and waiting where a
// non-blocking stream has nothing yet. A producer that never stops cannot fill the disk: the
// copy is refused as soon as the stream (or a compressed one's text, inflated on the way)
// passes what a table of `most_records` records can hold (stream_bounds), or would leave its file
// system less than its reserve (disk_reserve); and a stream that holds more than `most_records`
// records is refused as a table with too many records is, as soon as a count of its copy finds them
// (the copy is counted each time it has grown fourfold from `count_from` bytes on). Throws
// `failure`.
table_file copy_piped_table(file_descriptor input, std::int64_t most_records,
                            std::uint64_t count_from = first_record_count_at);

// The table of a command line: standard input for "-", copied as above, or the named file.
table_file open_table_or_input(const std::string& name, std::int64_t most_records);

}  // namespace vort
