// Files, folders and pipes for the zip writer's fuzz target, all inside one
// folder per process that is emptied after every input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/* The process's scratch folder (made on first use, removed at exit; one left
   by a process that is gone is removed on the next first use). */
const std::string& ScratchRoot();

/* Removes everything inside the scratch folder. */
void ClearScratch();

/* Writes bytes to path (created or truncated). Returns false on failure. */
bool WriteScratchFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

/* Reads the whole of path into bytes. Returns false on failure. */
bool ReadScratchFile(const std::string& path, std::vector<std::uint8_t>& bytes);

/* Makes a pipe whose buffer holds at least capacity bytes where the system
   allows; both ends close on exec. Returns the capacity reached, 0 on failure. */
std::size_t MakeLargePipe(int& read_end, int& write_end, std::size_t capacity);

/* Moves whatever the pipe holds now into bytes without blocking. */
void DrainPipe(int read_end, std::vector<std::uint8_t>& bytes);
