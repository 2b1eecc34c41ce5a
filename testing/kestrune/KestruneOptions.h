// The lobby stand-in's command line and its record of what reached the lobby's window.
//
// The record is a text file, one line per event, appended and complete after every line:
//   start [<argument>...]    the stand-in is ready (window created, socket listening), with the
//                            arguments it was started with, its own options left out
//   post|send|show ...       a message as platform/LobbyWire.h writes it
//   malformed                a line that was no message; the stand-in dropped that connection
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrune {

inline constexpr const char* kMalformedLine = "malformed";

// What the stand-in does with a sent message once it has recorded it.
enum class OnSend {
    Answer,  // answers it with Options::answer
    Ignore,  // never answers: a lobby that hangs
    Quit,    // ends at once without answering: a lobby that goes away mid-call
};

struct Options {
    std::string record;                  // --record FILE; "" means Kestrune.log beside the program
    std::optional<long> exitAfterMs;     // --exit-after-ms N
    OnSend onSend = OnSend::Answer;      // --no-answer, --quit-on-send
    std::int64_t answer = 0;             // --answer N
    std::vector<std::string> arguments;  // everything that is not an option, as the lobby gets it
};

// Reads the arguments after the program name. Empty, with `error` set, for an unknown option,
// an option without its value or a value that is no number.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The first record line of a run.
std::string StartLine(const std::vector<std::string>& arguments);

// Appends one line to the record. False when it could not be written.
bool AppendRecord(const std::string& path, const std::string& line);

// The record's complete lines (a line still being written is left out); empty when there is
// no record yet.
std::vector<std::string> ReadRecord(const std::string& path);

}  // namespace kestrune
