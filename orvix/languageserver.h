// The language server: orvix --lsp. An editor sends it JSON-RPC messages
// (the Language Server Protocol, framed as framing.h says) and it answers
// from one Document per open file (document.h): diagnostics published on
// every open and change, hover, definition, references, rename, completion,
// document symbols, formatting and quick fixes. Positions are UTF-16 code
// units, as the protocol counts them by default.
//
// A message that cannot be read, a request the server does not know, one
// for a document that is not open or with parameters it cannot use gets the
// protocol's error response; the server goes on with the next message. It
// ends at the exit notification or at the end of its input. Single
// threaded: one message is handled at a time, in order.

#ifndef ORVIX_LANGUAGESERVER_H_
#define ORVIX_LANGUAGESERVER_H_

#include <cstdio>

// Serves the messages read from `in` (binary mode), answering on `out`
// (binary mode) and logging on `log`; the streams stay the caller's.
// Returns the exit status: 0 when a shutdown request came before the exit
// notification (or the end of the input), 1 otherwise.
int serve(FILE* in, FILE* out, FILE* log);

#endif  // ORVIX_LANGUAGESERVER_H_
