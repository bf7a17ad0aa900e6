// The language server's edges, from a small client of the test's own: each
// row sends orvix --lsp a stream of messages (well and badly framed, good
// and bad JSON-RPC) through a pipe, closes it, and reads every message the
// server sends back. Every message on standard output must be framed as the
// protocol says (Content-Length, CR LF, JSON-RPC 2.0) and nothing else may
// be there; the answers, in order, and the exit status must be the row's.
// A server that does not end within the deadline fails the row as hung.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/orvix_run.h"

namespace {

using json = nlohmann::json;
using namespace orvix_test;

// One run of the server.
struct Served {
  std::string out, err;
  int status = -1;
  bool hung = false;
};

// Runs orvix --lsp with `input` on its standard input, through a pipe that
// is closed once everything is written.
Served Serve(const std::string& input) {
  Served run;
  // Wine and valgrind start slowly; a server that answers hangs no longer.
  const double seconds = WindowsTarget() || UnderMemcheck() ? 300 : 30;
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return run;
  const std::string bin = OrvixBin();
  const pid_t pid = fork();
  if (pid == 0) {
    if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(126);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    execlp(bin.c_str(), bin.c_str(), "--lsp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);  // a server that ends early must not end the test
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  int fds[3] = {in[1], out[0], err[0]};
  size_t written = 0;
  if (input.empty()) {
    close(fds[0]);
    fds[0] = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (fds[1] >= 0 || fds[2] >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.hung = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd p[3];
    for (int i = 0; i < 3; i++) p[i] = {fds[i], static_cast<short>(i == 0 ? POLLOUT : POLLIN), 0};
    if (poll(p, 3, static_cast<int>(left.count())) < 0) continue;
    if (fds[0] >= 0 && (p[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = write(fds[0], input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 && errno != EAGAIN) written = input.size();  // the server has stopped reading
      if (written == input.size()) {
        close(fds[0]);
        fds[0] = -1;
      }
    }
    for (int i = 1; i < 3; i++) {
      if (fds[i] < 0 || !(p[i].revents & (POLLIN | POLLERR | POLLHUP))) continue;
      char buf[65536];
      const ssize_t n = read(fds[i], buf, sizeof buf);
      if (n > 0) {
        (i == 1 ? run.out : run.err).append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i]);
        fds[i] = -1;
      }
    }
  }
  for (int fd : fds) {
    if (fd >= 0) close(fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

// `body` framed as the protocol frames a message.
std::string Frame(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Request(int id, const std::string& method, const json& params = json::object()) {
  return Frame(json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}}.dump());
}

std::string Notify(const std::string& method, const json& params = json::object()) {
  return Frame(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}}.dump());
}

const char kUri[] = "file:///work/prog.asm";

std::string Init() { return Request(1, "initialize") + Notify("initialized"); }
std::string Open(const std::string& text, const std::string& uri = kUri) {
  return Notify(
      "textDocument/didOpen",
      {{"textDocument", {{"uri", uri}, {"languageId", "zrc"}, {"version", 1}, {"text", text}}}});
}
json At(int line, int character, const std::string& uri = kUri) {
  return {{"textDocument", {{"uri", uri}}},
          {"position", {{"line", line}, {"character", character}}}};
}
// A change of the text from line a, character b to line c, character d.
std::string Change(const std::vector<int>& abcd, const std::string& text) {
  static int version = 1;
  const json range = {{"start", {{"line", abcd[0]}, {"character", abcd[1]}}},
                      {"end", {{"line", abcd[2]}, {"character", abcd[3]}}}};
  return Notify("textDocument/didChange",
                {{"textDocument", {{"uri", kUri}, {"version", ++version}}},
                 {"contentChanges", {{{"range", range}, {"text", text}}}}});
}
const std::string kIncFive = "'inc' takes no operand: '5' is ignored;";
std::string Bye(int id) { return Request(id, "shutdown") + Notify("exit"); }

// The messages on the server's standard output, each in one line: "#ID ok",
// "#ID error CODE", or "diagnostics: LINE:CHAR-LINE:CHAR SEVERITY MESSAGE;
// ..." for published diagnostics. A frame that is not exactly as the
// protocol says fails the row.
std::vector<std::string> Messages(const std::string& out) {
  std::vector<std::string> found;
  size_t pos = 0;
  while (pos < out.size()) {
    const std::string head = "Content-Length: ";
    const size_t end = out.find("\r\n\r\n", pos);
    if (out.compare(pos, head.size(), head) != 0 || end == std::string::npos) {
      ADD_FAILURE() << "not a frame at byte " << pos << ": " << out.substr(pos, 80);
      break;
    }
    const size_t length = std::stoul(out.substr(pos + head.size(), end - pos - head.size()));
    const json m = json::parse(out.substr(end + 4, length), nullptr, false);
    pos = end + 4 + length;
    if (pos > out.size() || m.is_discarded() || m.value("jsonrpc", "") != "2.0") {
      ADD_FAILURE() << "not a JSON-RPC message: " << out.substr(end + 4, length);
      break;
    }
    if (m.contains("method")) {
      std::string line = "diagnostics:";
      for (const json& d : m["params"]["diagnostics"]) {
        const json& r = d["range"];
        line += " " + r["start"]["line"].dump() + ":" + r["start"]["character"].dump() + "-" +
                r["end"]["line"].dump() + ":" + r["end"]["character"].dump() +
                (d["severity"] == 1 ? " error " : " warning ") + d["message"].get<std::string>() +
                ";";
      }
      found.push_back(line);
    } else if (m.contains("error")) {
      found.push_back("#" + m["id"].dump() + " error " + m["error"]["code"].dump());
    } else {
      found.push_back("#" + m["id"].dump() + " ok");
    }
  }
  return found;
}

struct Row {
  const char* name;
  std::string input;
  std::vector<std::string> answers;
  int status;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const std::string kHeaderTooLong = std::string(5000, 'a') + ": 1\r\n\r\n";
// More statements than memory has words, many times over: about 3 MB.
const std::string kHuge = Repeat("        load    1       ; one\n", 100000);

const Row kRows[] = {
    {"ShutdownThenExit", Init() + Bye(2), {"#1 ok", "#2 ok"}, 0},
    {"ExitWithoutShutdown", Init() + Notify("exit"), {"#1 ok"}, 1},
    {"InputEndsBeforeExit", Init(), {"#1 ok"}, 1},
    {"InputEndsAfterShutdown", Init() + Request(2, "shutdown"), {"#1 ok", "#2 ok"}, 0},
    {"InputEndsInABody", Init() + "Content-Length: 100\r\n\r\n{\"jsonrpc\"", {"#1 ok"}, 1},
    {"MalformedHeaders",
     Init() + "Content-Length: x\r\n\r\n" + "Content-Type: text/plain\r\n\r\n" +
         "no colon\r\n\r\n" + kHeaderTooLong + "Content-Length: 12345678901234567890\r\n\r\n" +
         Bye(2),
     {"#1 ok", "#null error -32700", "#null error -32700", "#null error -32700",
      "#null error -32700", "#null error -32700", "#2 ok"},
     0},
    {"HeaderNamesInAnyCase",
     Init() + "content-length: 2\r\nContent-Type: x\r\n\r\n{}" + Bye(2),
     {"#1 ok", "#null error -32600", "#2 ok"},
     0},
    {"MalformedJson",
     Init() + Frame("{\"jsonrpc\": \"2.0\", \"id\": 5") + Frame("\"\xff\"") + Frame("[1, 2]") +
         Frame(R"({"jsonrpc": "2.0", "id": 3})") +
         Frame(R"({"jsonrpc": "1.0", "id": 4, "method": "shutdown"})") +
         Frame(R"({"jsonrpc": "2.0", "id": {}, "method": "shutdown"})") +
         Frame(R"({"jsonrpc": "2.0", "id": 6, "method": "shutdown", "params": 7})") +
         Frame(R"({"jsonrpc": "2.0", "id": 9, "result": null})") + Bye(2),
     {"#1 ok", "#null error -32700", "#null error -32700", "#null error -32600", "#3 error -32600",
      "#4 error -32600", "#null error -32600", "#6 error -32602", "#2 ok"},
     0},
    {"UnknownMethod",
     Init() + Request(2, "textDocument/frobnicate") + Notify("workspace/frobnicate") +
         Notify("$/progress") + Request(3, "$/frobnicate") + Bye(4),
     {"#1 ok", "#2 error -32601", "#3 error -32601", "#4 ok"},
     0},
    {"BeforeInitialize",
     Request(7, "textDocument/hover", At(0, 0)) + Open("inc\n") + Init() + Bye(2),
     {"#7 error -32002", "#1 ok", "#2 ok"},
     0},
    {"InitializeTwice",
     Init() + Request(2, "initialize") + Bye(3),
     {"#1 ok", "#2 error -32600", "#3 ok"},
     0},
    {"RequestAfterShutdown",
     Init() + Request(2, "shutdown") + Request(3, "textDocument/hover", At(0, 0)) + Notify("exit"),
     {"#1 ok", "#2 ok", "#3 error -32600"},
     0},
    {"DocumentNotOpen",
     Init() + Request(2, "textDocument/hover", At(0, 0)) +
         Notify("textDocument/didChange", {{"textDocument", {{"uri", kUri}, {"version", 2}}},
                                           {"contentChanges", {{{"text", "inc\n"}}}}}) +
         Open("inc\n") + Notify("textDocument/didClose", {{"textDocument", {{"uri", kUri}}}}) +
         Request(3, "textDocument/definition", At(0, 0)) +
         Request(4, "textDocument/formatting", {{"textDocument", {{"uri", "file:///other.asm"}}}}) +
         Bye(5),
     {"#1 ok", "#2 error -32602", "diagnostics:", "diagnostics:", "#3 error -32602",
      "#4 error -32602", "#5 ok"},
     0},
    // Edits arrive as ranges of the text the server holds; one whose end
    // comes before its start changes nothing, one past the last line adds
    // at the end.
    {"RangedChanges",
     Init() + Open("inc\n") + Change({0, 3, 0, 3}, " 5") + Change({0, 5, 0, 1}, "x") +
         Change({9, 0, 9, 0}, "dec 1\n") + Bye(2),
     {"#1 ok", "diagnostics:", "diagnostics: 0:4-0:5 warning " + kIncFive,
      "diagnostics: 0:4-0:5 warning " + kIncFive,
      "diagnostics: 0:4-0:5 warning " + kIncFive +
          " 1:4-1:5 warning 'dec' takes no operand: '1' is ignored;",
      "#2 ok"},
     0},
    {"ParametersNotUnderstood",
     Init() + Open("inc\n") +
         Request(2, "textDocument/hover", {{"textDocument", {{"uri", kUri}}}}) +
         Request(3, "textDocument/hover", At(-1, 0)) +
         Request(4, "textDocument/hover", {{"textDocument", kUri}, {"position", "0:0"}}) +
         Request(5, "textDocument/rename", At(0, 0)) +
         Request(6, "textDocument/codeAction", {{"textDocument", {{"uri", kUri}}}}) + Bye(7),
     {"#1 ok", "diagnostics:", "#2 error -32602", "#3 error -32602", "#4 error -32602",
      "#5 error -32602", "#6 error -32602", "#7 ok"},
     0},
    // The diagnostics' columns count UTF-16 code units: ä is one, the
    // emoji (four bytes in UTF-8) two.
    {"PositionsInUtf16",
     Init() + Open("st\xc3\xa4rke: load 300\na\xf0\x9f\x98\x80: inc 5\n") +
         Request(2, "textDocument/hover", At(1, 7)) + Bye(3),
     {"#1 ok",
      "diagnostics: 0:13-0:16 warning operand 300 does not fit the 8-bit field of 'load': its low "
      "8 bits 00101100 are kept; 1:9-1:10 warning 'inc' takes no operand: '5' is ignored;",
      "#2 ok", "#3 ok"},
     0},
    {"HugeDocument",
     Init() + Open(kHuge) + Request(2, "textDocument/hover", At(0, 9)) +
         Request(3, "textDocument/formatting", {{"textDocument", {{"uri", kUri}}}}) + Bye(4),
     {"#1 ok", "diagnostics: 32:8-32:17 error too many statements: the memory holds 32 words;",
      "#2 ok", "#3 ok", "#4 ok"},
     0},
};

class LanguageServerEdges : public ::testing::TestWithParam<Row> {};

TEST_P(LanguageServerEdges, AnswersInOrderAndEnds) {
  const Row& row = GetParam();
  const Served run = Serve(row.input);
  ASSERT_FALSE(run.hung) << "no end within the deadline; standard error:\n" << run.err;
  EXPECT_EQ(row.answers, Messages(run.out)) << "standard error:\n" << run.err;
  EXPECT_EQ(row.status, run.status) << "standard error:\n" << run.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, LanguageServerEdges, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
