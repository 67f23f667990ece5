#pragma once
// The command line's answer to MsgSx: messages go to stderr; a question is asked on the
// terminal when stdin is one, else the box's first button is taken and said so.

#include <iosfwd>
#include <string>

namespace cli {

// Installs the handler for the whole process.
void InstallTerminalMsgHandler();

// What the handler does, with its streams given: prints caption and text on `err`;
// for a question, reads answers from `in` when `interactive` (asking again after an
// answer it does not know; the end of input takes the first button). Returns the id
// of the button chosen. The start-up question where to create the base settings file
// goes to AskWhereToCreateBaseFile with the two folders of the globals.
int AnswerOnTerminal(const std::string& text, const std::string& caption, int flags,
                     std::istream& in, std::ostream& err, bool interactive);

// Where to create the missing base settings file, as a short question with the answers
// yes (`shared_dir`), no (`app_dir`) and cancel. Without `interactive` it prints
// nothing and takes yes: the caller says where the file went once it is written.
int AskWhereToCreateBaseFile(const std::string& shared_dir, const std::string& app_dir,
                             std::istream& in, std::ostream& err, bool interactive);

}  // namespace cli
