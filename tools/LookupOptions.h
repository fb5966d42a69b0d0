#pragma once
// tenmari-lookup's command line: the options before the subcommand, the
// usage text, and the messages every subcommand words its failures with.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PostReference.h"  // TPostOption

namespace tenmari::lookupcli {

extern const char* const kUsage;

// What the command line asks for: the options, then the subcommand's name
// and its own arguments, as typed.
struct Options {
    std::optional<std::string> dict;  // --dict; dictionary() gives the one to use
    TPostOption pickOut = poptAll;
    bool sjis = false;
    bool all = false;
    bool kana = false;
    bool whole = false;
    bool fold = false;
    bool strict = false;                 // batch address: the exact beginning, as before the address reader
    bool level = false;                  // written addresses: how far each was understood, as a last column
    bool check = false;                  // batch address: input "code TAB address"; only the lines whose code disagrees
    std::string_view command;            // empty when none was given
    std::vector<std::string_view> args;  // after the subcommand's name
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();  // for the batch's progress line

    // --dict, or Jisho/Zenkoku.csv beside this program.
    std::string dictionary() const;
};

// Parses the options; nullopt after --help (written out, `status` set) or an
// error (reported, `status` 2).
std::optional<Options> parseOptions(int argc, char** argv, int& status);

// Why a dictionary cannot be searched although no read failed: nothing is
// there, or a folder is (the message names it); nullopt when a file is there.
// The lookup tells both only as "no file" (a reader that opens nothing).
std::optional<std::string> missingDictionary(const std::string& dict);

// "tenmari-lookup: message" on standard error; status 2.
int fail(const std::string& message);
// The same followed by the usage text.
int usageError(const std::string& message);
// Status 2 for a failed write (silent for a reader that went away: EPIPE).
int writeFailed(int err);
// An argument in a message: at most 32 characters, bytes unfit to print escaped.
std::string shown(std::string_view arg);
// Characters that must not reach the terminal as they are.
bool invisible(char32_t cp);
// "\xAB" for a byte.
std::string hexByte(unsigned char c);

}  // namespace tenmari::lookupcli
