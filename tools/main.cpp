// vitrel-ide: the IDE's side of the Vitrel link as a command-line program (see --help).

#include "tools/IdeProgram.h"

int main(int argc, char** argv) { return CIdeProgram::Run(argc, argv); }
