#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The program-wide settings read from the command line.
struct CommandLineOptions {
    bool fullscreen = true;  // cleared by "/WINDOW"
    // The score server's "host[:port]" from "/SERVER=...", as given; none
    // when the switch is absent (the build's default server is used).
    std::optional<std::string> scoreServer;
    // The replay file to watch from "/REPLAY=...", as given; none when the
    // switch is absent (the game is played).
    std::optional<std::string> replayFile;
    bool help = false;     // "--help", "-h" or "/?"
    bool version = false;  // "--version"
    // The arguments that are none of the above, as given, in order.
    std::vector<std::string> unknown;
};

// Marks the program path as the command line's first piece (up to its first
// blank), for callers that have the line only as one text.
inline constexpr std::size_t ProgramPathIsFirstPiece = std::string::npos;

// Reads the switches from the whole command line: pieces between single
// blanks, compared upper-cased (a switch's value is kept as given). The first
// programPathLength bytes are the program path; its pieces may still be
// "/WINDOW" or "/SERVER=", but are never unknown arguments nor ask for help.
// Empty pieces (two blanks in a row) are no argument at all. A replay path
// may hold blanks: "/REPLAY=" takes the line up to the blank before the next
// piece that is a switch of its own, or to the end of the line.
CommandLineOptions ParseCommandLine(std::string commandLine,
                                    std::size_t programPathLength = ProgramPathIsFirstPiece);

// Runs the program for a command line read as ParseCommandLine does. With
// unknown arguments: prints them and a usage line on stderr and returns 2.
// With --help or --version: prints it on stdout and returns 0. Otherwise
// starts the engine, loads the resources, runs the game until Escape and
// shuts down: 0 after a normal end; 1 when the engine could not start (the
// reason is on stderr and in the log, app/file_locations.h). With /REPLAY=
// it plays the replay file instead (app/replays.h); 1, with the reason on
// stderr, when the file cannot be read or is no replay of these rules.
int RunProgram(const std::string& commandLine, std::size_t programPathLength = ProgramPathIsFirstPiece);
