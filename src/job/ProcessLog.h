#pragma once

#include <string>

struct WipeOptions;
class TextSource;

// The pieces of the processing log, each ended by CR LF.
namespace processlog {

// The option lines and the "Process begining" line.
std::string Header(const TextSource& texts, const WipeOptions& options, int targetCount);
std::string Ok(const TextSource& texts, const std::string& path);
std::string Failed(const TextSource& texts, int code, const std::string& path);
std::string Excluded(const TextSource& texts, const std::string& path);
std::string Summary(const TextSource& texts, int ok, int errors);
std::string Cancelled(const TextSource& texts);

// The reason text of a failure code, for the error box.
std::string Reason(const TextSource& texts, int code);

}  // namespace processlog
