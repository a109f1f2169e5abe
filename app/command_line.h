#pragma once

// The command line without the program's name and the blanks after it, split
// the way the platform's classic GUI entry splits it: a name that starts with a
// double quote runs to the next double quote, any other to the first blank.
// C runtimes differ here (some track quotes inside the name), so the program
// does it itself.
const char* CommandLineTail(const char* commandLine);
