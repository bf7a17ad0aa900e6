// Framing: the language server's messages on a byte stream. Each message is
// a header of "Name: value" lines, each ending in CR LF, closed by an empty
// line, then a body of exactly as many bytes as its Content-Length header
// says (a JSON text, which this layer does not look into).
//
// A FrameReader reads from a stream that stays the caller's and keeps
// nothing between messages but the stream's position, so a malformed header
// costs that message alone: the next header is read from where the bad
// one ended. frame() is a pure function. Not thread-safe; one reader per
// stream.

#ifndef ORVIX_FRAMING_H_
#define ORVIX_FRAMING_H_

#include <cstdio>
#include <string>

// The largest body a reader takes: a larger one is skipped as malformed.
const long long kMaxMessageBytes = 64LL << 20;
// The longest header line a reader takes, line end included.
const long long kMaxHeaderLineBytes = 4096;

// What FrameReader::next found.
enum FrameStatus {
  FRAME_MESSAGE,    // a whole body was read
  FRAME_MALFORMED,  // the header was no valid header; its bytes are consumed
  FRAME_END,        // the input ended (within a message, too)
};

class FrameReader {
 public:
  // Reads from the open stream `in`, which should be in binary mode.
  explicit FrameReader(FILE* in) : in_(in) {}

  FrameReader(const FrameReader&) = delete;
  FrameReader& operator=(const FrameReader&) = delete;

  // Reads the next message into `body`. FRAME_MALFORMED sets `error` to what
  // was wrong with the header; a body it announced but is too large to take
  // is read and dropped.
  FrameStatus next(std::string& body, std::string& error);

 private:
  // One header line into `line`, without its line end; false at the end of
  // the input. A line longer than kMaxHeaderLineBytes is read to its end
  // and set `too_long`.
  bool readline(std::string& line, bool& too_long);

  FILE* in_;
};

// `body` with its header: "Content-Length: <bytes>\r\n\r\n<body>".
std::string frame(const std::string& body);

#endif  // ORVIX_FRAMING_H_
