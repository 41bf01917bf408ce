#pragma once

#include <optional>
#include <string>

// The program-wide settings read from the command line.
struct CommandLineOptions {
    bool fullscreen = true;  // cleared by "/WINDOW"
    // The score server's "host[:port]" from "/SERVER=...", as given; none
    // when the switch is absent (the build's default server is used).
    std::optional<std::string> scoreServer;
};

// Reads the switches from the whole command line (program path included):
// pieces between single blanks, compared upper-cased (a switch's value is
// kept as given).
CommandLineOptions ParseCommandLine(std::string commandLine);

// Starts the engine, loads the resources, runs the game until Escape and
// shuts down. 0 after a normal end; 1 when the engine could not start (the
// reason is on stderr and in "error.log").
int RunProgram(const std::string& commandLine);
