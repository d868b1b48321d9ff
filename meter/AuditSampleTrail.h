// A records folder as a busy lab's reaches it, for the audit check's
// benchmark and its test of size: one sample row after another in
// samples.csv, each with its event in a trail whose hashes chain. Not part
// of the programs.
#pragma once

#include <filesystem>

namespace tirevo {

// Writes audit.jsonl and samples.csv of events samples (S-1, S-2, ...) into
// folder. False when a file cannot be written whole.
bool WriteAuditSampleTrail(const std::filesystem::path& folder, int events);

}  // namespace tirevo
