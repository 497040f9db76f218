// The command line of every lzhtool command: options first, each named in
// the command's table, then the operands. "--" ends the options, so that an
// operand may start with '-'; "-h" and "--help" print the command's usage.
#pragma once

struct Option {
    const char* name;   // "--level"
    bool takesValue;    // "--level 1" or "--level=1"
    const char* value;  // after parsing: the value, "" for a flag given, null when absent
};

struct CommandLine {
    const char* command;  // "pack", for messages
    const char* usage;    // the command's usage text: its synopsis, a blank
                          // line, what it does; --help prints all of it, a
                          // bad command line the synopsis after its message
    Option* options;
    int optionCount;
    int minOperands;
    int maxOperands;           // -1: no limit
    const char* operandNames;  // "ARCHIVE FOLDER", for the message about a count
    char** operands;           // after parsing
    int operandCount;
};

// Fills the options' values and the operands. Returns true when the command
// should go on; otherwise status is the exit status: 0 after --help, or
// kExitUsage after one line on standard error naming what is wrong.
bool ParseCommandLine(CommandLine& line, int argc, char** argv, int& status);

// The option named name, or null; for reading the values after parsing.
const char* OptionValue(const CommandLine& line, const char* name);

// One line on standard error about a value the command cannot take; returns kExitUsage.
int BadOptionValue(const CommandLine& line, const char* name, const char* expected);
