#include "orvix/languageserver.h"

#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvix/diagnostics.h"
#include "orvix/document.h"
#include "orvix/framing.h"

#ifndef ORVIX_VERSION
#error "ORVIX_VERSION must be defined by the build (the project's version)"
#endif

namespace {

using json = nlohmann::json;

// The protocol's error codes.
enum ErrorCode {
  PARSE_ERROR = -32700,
  INVALID_REQUEST = -32600,
  METHOD_NOT_FOUND = -32601,
  INVALID_PARAMS = -32602,
  INTERNAL_ERROR = -32603,
  SERVER_NOT_INITIALIZED = -32002,
  REQUEST_FAILED = -32803,
};

// The protocol's kinds and severities this server uses.
const int kSeverityError = 1;
const int kSeverityWarning = 2;
const int kCompletionKeyword = 14;
const int kCompletionConstant = 21;
const int kSymbolConstant = 14;
const int kSyncIncremental = 2;

// A request's answer: its result, or the error that replaces it.
struct Reply {
  json result;
  int code = 0;  // 0: no error
  std::string message;
};

Reply failure(int code, const std::string& message) {
  Reply r;
  r.code = code;
  r.message = message;
  return r;
}

Reply success(json result) {
  Reply r;
  r.result = std::move(result);
  return r;
}

// The member `key` of the object `j`, or null when `j` is no object or has
// no such member.
const json* member(const json& j, const char* key) {
  if (!j.is_object()) return nullptr;
  const auto it = j.find(key);
  return it == j.end() ? nullptr : &*it;
}

// The member `key` of `j`, or a null value when there is none.
const json& field(const json& j, const char* key) {
  static const json kNone;
  const json* m = member(j, key);
  return m != nullptr ? *m : kNone;
}

// The string member `key` of `j` into `value`; false when there is none.
bool stringof(const json& j, const char* key, std::string& value) {
  const json* m = member(j, key);
  if (m == nullptr || !m->is_string()) return false;
  value = m->get<std::string>();
  return true;
}

// The non-negative integer member `key` of `j` into `value`.
bool countof(const json& j, const char* key, long long& value) {
  const json* m = member(j, key);
  if (m == nullptr || !m->is_number_integer() || m->get<long long>() < 0) return false;
  value = m->get<long long>();
  return true;
}

// UTF-16 code units of the bytes [0, `column`) of the UTF-8 `line`.
long long utf16of(const std::string& line, long long column) {
  long long units = 0;
  for (long long i = 0; i < column && i < static_cast<long long>(line.size()); i++) {
    const unsigned char b = static_cast<unsigned char>(line[static_cast<size_t>(i)]);
    if ((b & 0xc0) != 0x80) units += b >= 0xf0 ? 2 : 1;
  }
  return units;
}

// The byte column of `line` at which `units` UTF-16 code units end; the
// line's end for more than it has.
long long byteof(const std::string& line, long long units) {
  long long i = 0;
  const long long size = static_cast<long long>(line.size());
  while (i < size && units > 0) {
    const unsigned char b = static_cast<unsigned char>(line[static_cast<size_t>(i)]);
    units -= b >= 0xf0 ? 2 : 1;
    i++;
    while (i < size && (static_cast<unsigned char>(line[static_cast<size_t>(i)]) & 0xc0) == 0x80) {
      i++;
    }
  }
  return i;
}

json positionjson(const Document& doc, const TextPoint& p) {
  return {{"line", p.line}, {"character", utf16of(doc.line(p.line), p.column)}};
}

json rangejson(const Document& doc, const TextRange& r) {
  return {{"start", positionjson(doc, r.start)}, {"end", positionjson(doc, r.end)}};
}

json editjson(const Document& doc, const TextEdit& e) {
  return {{"range", rangejson(doc, e.range)}, {"newText", e.text}};
}

// `d` as the protocol shows it: the same text and severity as orvix -W.
json diagnosticjson(const Document& doc, const Diagnostic& d) {
  return {{"range", rangejson(doc, doc.rangeof(d))},
          {"severity", d.severity == SEVERITY_ERROR ? kSeverityError : kSeverityWarning},
          {"source", "orvix"},
          {"message", d.text}};
}

json markdown(const std::string& text) { return {{"kind", "markdown"}, {"value", text}}; }

// The place `j` (a Position) names in `text`'s lines; false when it is none.
bool readposition(const Document& doc, const json& j, TextPoint& p) {
  long long line = 0, character = 0;
  if (!countof(j, "line", line) || !countof(j, "character", character)) return false;
  p.line = line;
  p.column = byteof(doc.line(line), character);
  return true;
}

// The byte offset in `text` of the Position `j`; false when it is none. A
// line past the last is the text's end.
bool offsetat(const std::string& text, const json& j, size_t& offset) {
  long long line = 0, character = 0;
  if (!countof(j, "line", line) || !countof(j, "character", character)) return false;
  size_t begin = 0;
  for (long long n = 0; n < line; n++) {
    const size_t lf = text.find('\n', begin);
    if (lf == std::string::npos) {
      offset = text.size();
      return true;
    }
    begin = lf + 1;
  }
  size_t end = text.find('\n', begin);
  if (end == std::string::npos) end = text.size();
  if (end > begin && text[end - 1] == '\r' && end < text.size()) end--;
  offset = begin + static_cast<size_t>(byteof(text.substr(begin, end - begin), character));
  return true;
}

// The textDocument.uri of `params`, "" for none.
std::string uriof(const json& params) {
  std::string uri;
  stringof(field(params, "textDocument"), "uri", uri);
  return uri;
}

// The file name at the end of `uri`, as messages name the source.
std::string nameof(const std::string& uri) {
  const size_t slash = uri.find_last_of('/');
  return slash == std::string::npos ? uri : uri.substr(slash + 1);
}

class Server {
 public:
  Server(FILE* out, FILE* log) : out_(out), log_(log) {}

  // Handles one message body.
  void handle(const std::string& body);
  // Answers a message whose header could not be read.
  void malformed(const std::string& why) {
    logline("malformed message header: " + why);
    senderror(json(), PARSE_ERROR, "malformed message header: " + why);
  }

  bool exited() const { return exited_; }
  bool failed() const { return failed_; }
  int status() const { return shutdown_ ? 0 : 1; }

 private:
  typedef Reply (Server::*RequestHandler)(const json& params);
  typedef void (Server::*NotificationHandler)(const json& params);
  struct Request {
    const char* method;
    RequestHandler handler;
  };
  struct Notification {
    const char* method;
    NotificationHandler handler;
  };
  static const Request kRequests[];
  static const Notification kNotifications[];

  void send(const json& message);
  void senderror(const json& id, int code, const std::string& message);
  void logline(const std::string& text);
  void request(const json& id, const std::string& method, const json& params);
  void notification(const std::string& method, const json& params);

  // The open document `params` names in its textDocument, or null with
  // `reply` saying why.
  const Document* documentof(const json& params, Reply& reply) const;
  // The document and the position `params` names; false with `reply`
  // saying why.
  bool placeof(const json& params, const Document*& doc, TextPoint& p, Reply& reply) const;
  // Assembles `text` as the document `uri` at `version` and publishes its
  // diagnostics.
  void update(const std::string& uri, const std::string& text, const json& version);
  json location(const std::string& uri, const Document& doc, const TextRange& r) const;

  Reply initialize(const json& params);
  Reply shutdown(const json& params);
  Reply hover(const json& params);
  Reply definition(const json& params);
  Reply references(const json& params);
  Reply preparerename(const json& params);
  Reply rename(const json& params);
  Reply completion(const json& params);
  Reply symbols(const json& params);
  Reply formatting(const json& params);
  Reply codeaction(const json& params);
  void opened(const json& params);
  void changed(const json& params);
  void closed(const json& params);
  void exit(const json& params);
  void ignore(const json&) {}

  struct Open {
    std::string uri;
    json version;
    std::unique_ptr<Document> doc;
  };

  FILE* out_;
  FILE* log_;
  std::map<std::string, Open> open_;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool failed_ = false;  // the output could not be written
};

const Server::Request Server::kRequests[] = {
    {"initialize", &Server::initialize},
    {"shutdown", &Server::shutdown},
    {"textDocument/hover", &Server::hover},
    {"textDocument/definition", &Server::definition},
    {"textDocument/references", &Server::references},
    {"textDocument/prepareRename", &Server::preparerename},
    {"textDocument/rename", &Server::rename},
    {"textDocument/completion", &Server::completion},
    {"textDocument/documentSymbol", &Server::symbols},
    {"textDocument/formatting", &Server::formatting},
    {"textDocument/codeAction", &Server::codeaction},
};

const Server::Notification Server::kNotifications[] = {
    {"initialized", &Server::ignore},           {"exit", &Server::exit},
    {"textDocument/didOpen", &Server::opened},  {"textDocument/didChange", &Server::changed},
    {"textDocument/didClose", &Server::closed}, {"textDocument/didSave", &Server::ignore},
    {"$/cancelRequest", &Server::ignore},       {"$/setTrace", &Server::ignore},
};

void Server::send(const json& message) {
  // A document's bytes need not be UTF-8 (an over-long line is cut anywhere
  // in a character): what is not becomes U+FFFD.
  const std::string text = frame(message.dump(-1, ' ', false, json::error_handler_t::replace));
  if (fwrite(text.data(), 1, text.size(), out_) != text.size() || fflush(out_) != 0) {
    failed_ = true;
  }
}

void Server::senderror(const json& id, int code, const std::string& message) {
  send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::logline(const std::string& text) {
  fprintf(log_, "orvix --lsp: %s\n", text.c_str());
  fflush(log_);
}

void Server::handle(const std::string& body) {
  const json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) {
    logline("a message that is not JSON");
    senderror(json(), PARSE_ERROR, "the message is not JSON");
    return;
  }
  const json* id = member(message, "id");
  // Only a number or a string identifies a request.
  const bool valid_id = id != nullptr && (id->is_number_integer() || id->is_string());
  const json reply_id = valid_id ? *id : json();
  std::string version, method;
  if (!stringof(message, "jsonrpc", version) || version != "2.0" ||
      (id != nullptr && !valid_id && !id->is_null())) {
    senderror(reply_id, INVALID_REQUEST, "not a JSON-RPC 2.0 message");
    return;
  }
  if (!stringof(message, "method", method)) {
    // A response to a request of the server's (it sends none) is dropped.
    if (member(message, "result") != nullptr || member(message, "error") != nullptr) return;
    senderror(reply_id, INVALID_REQUEST, "a request without a method");
    return;
  }
  const json* params = member(message, "params");
  const json none = json::object();
  if (params != nullptr && !params->is_object() && !params->is_array()) {
    if (id != nullptr) senderror(reply_id, INVALID_PARAMS, "params is neither object nor array");
    return;
  }
  if (id != nullptr) {
    request(reply_id, method, params != nullptr ? *params : none);
  } else {
    notification(method, params != nullptr ? *params : none);
  }
}

void Server::request(const json& id, const std::string& method, const json& params) {
  if (!initialized_ && method != "initialize") {
    senderror(id, SERVER_NOT_INITIALIZED, "the server is not initialized");
    return;
  }
  if (shutdown_) {
    senderror(id, INVALID_REQUEST, "the server is shut down: only exit is taken");
    return;
  }
  for (const Request& r : kRequests) {
    if (method != r.method) continue;
    Reply reply;
    try {
      reply = (this->*r.handler)(params);
    } catch (const std::exception& e) {
      // A parameter of an unexpected type, met deep in a handler.
      reply = failure(INVALID_PARAMS, std::string("parameters not understood: ") + e.what());
    }
    if (reply.code != 0) {
      logline(method + ": " + reply.message);
      senderror(id, reply.code, reply.message);
    } else {
      send({{"jsonrpc", "2.0"}, {"id", id}, {"result", reply.result}});
    }
    return;
  }
  logline("unknown request " + method);
  senderror(id, METHOD_NOT_FOUND, "unknown method '" + method + "'");
}

void Server::notification(const std::string& method, const json& params) {
  if ((!initialized_ || shutdown_) && method != "exit") return;
  for (const Notification& n : kNotifications) {
    if (method != n.method) continue;
    try {
      (this->*n.handler)(params);
    } catch (const std::exception& e) {
      logline(method + ": parameters not understood: " + e.what());
    }
    return;
  }
  // Notifications need no answer; those of "$/" may be dropped unseen.
  if (method.compare(0, 2, "$/") != 0) logline("unknown notification " + method);
}

const Document* Server::documentof(const json& params, Reply& reply) const {
  const std::string uri = uriof(params);
  if (uri.empty()) {
    reply = failure(INVALID_PARAMS, "no textDocument.uri");
    return nullptr;
  }
  const auto it = open_.find(uri);
  if (it == open_.end()) {
    reply = failure(INVALID_PARAMS, "the document is not open: " + uri);
    return nullptr;
  }
  return it->second.doc.get();
}

bool Server::placeof(const json& params, const Document*& doc, TextPoint& p, Reply& reply) const {
  doc = documentof(params, reply);
  if (doc == nullptr) return false;
  if (!readposition(*doc, field(params, "position"), p)) {
    reply = failure(INVALID_PARAMS, "no position");
    return false;
  }
  return true;
}

json Server::location(const std::string& uri, const Document& doc, const TextRange& r) const {
  return {{"uri", uri}, {"range", rangejson(doc, r)}};
}

void Server::update(const std::string& uri, const std::string& text, const json& version) {
  Open& o = open_[uri];
  o.uri = uri;
  o.version = version;
  o.doc.reset(new Document(text, nameof(uri)));
  json diagnostics = json::array();
  for (const Diagnostic& d : o.doc->assembly().diagnostics) {
    diagnostics.push_back(diagnosticjson(*o.doc, d));
  }
  json params = {{"uri", uri}, {"diagnostics", diagnostics}};
  if (version.is_number_integer()) params["version"] = version;
  send({{"jsonrpc", "2.0"}, {"method", "textDocument/publishDiagnostics"}, {"params", params}});
}

Reply Server::initialize(const json&) {
  if (initialized_) return failure(INVALID_REQUEST, "initialize was sent before");
  initialized_ = true;
  const json capabilities = {
      {"positionEncoding", "utf-16"},
      {"textDocumentSync", {{"openClose", true}, {"change", kSyncIncremental}}},
      {"hoverProvider", true},
      {"definitionProvider", true},
      {"referencesProvider", true},
      {"renameProvider", {{"prepareProvider", true}}},
      {"completionProvider", json::object()},
      {"documentSymbolProvider", true},
      {"documentFormattingProvider", true},
      {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
  };
  return success({{"capabilities", capabilities},
                  {"serverInfo", {{"name", "orvix"}, {"version", ORVIX_VERSION}}}});
}

Reply Server::shutdown(const json&) {
  shutdown_ = true;
  return success(json());
}

void Server::exit(const json&) { exited_ = true; }

void Server::opened(const json& params) {
  const json& td = field(params, "textDocument");
  std::string uri, text;
  if (!stringof(td, "uri", uri) || !stringof(td, "text", text)) {
    logline("didOpen without textDocument.uri and text");
    return;
  }
  update(uri, text, field(td, "version"));
}

void Server::changed(const json& params) {
  const std::string uri = uriof(params);
  const json& changes = field(params, "contentChanges");
  if (uri.empty() || !changes.is_array()) {
    logline("didChange without textDocument.uri and contentChanges");
    return;
  }
  const auto it = open_.find(uri);
  if (it == open_.end()) {
    logline("didChange of a document that is not open: " + uri);
    return;
  }
  std::string text = it->second.doc->text();
  for (const json& change : changes) {
    std::string replacement;
    if (!stringof(change, "text", replacement)) continue;
    const json* range = member(change, "range");
    size_t begin = 0, end = 0;
    if (range == nullptr) {
      text = replacement;
    } else if (offsetat(text, field(*range, "start"), begin) &&
               offsetat(text, field(*range, "end"), end) && begin <= end) {
      text.replace(begin, end - begin, replacement);
    } else {
      logline("didChange with a range that is none: " + range->dump());
    }
  }
  update(uri, text, field(field(params, "textDocument"), "version"));
}

void Server::closed(const json& params) {
  const std::string uri = uriof(params);
  if (open_.erase(uri) == 0) return;
  // Its marks go with it.
  send({{"jsonrpc", "2.0"},
        {"method", "textDocument/publishDiagnostics"},
        {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
}

Reply Server::hover(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  TextRange r;
  const std::string text = doc->hover(p, &r);
  if (text.empty()) return success(json());
  return success({{"contents", markdown(text)}, {"range", rangejson(*doc, r)}});
}

Reply Server::definition(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  const Label* l = doc->definition(doc->labelat(p, nullptr));
  if (l == nullptr) return success(json());
  return success(location(uriof(params), *doc, doc->labelrange(*l)));
}

Reply Server::references(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  const std::string name = doc->labelat(p, nullptr);
  json found = json::array();
  if (name.empty()) return success(found);
  const json& declarations = field(field(params, "context"), "includeDeclaration");
  const std::string uri = uriof(params);
  for (const TextRange& r :
       doc->references(name, declarations.is_boolean() && declarations.get<bool>())) {
    found.push_back(location(uri, *doc, r));
  }
  return success(found);
}

Reply Server::preparerename(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  TextRange r;
  const std::string name = doc->labelat(p, &r);
  if (name.empty()) return success(json());
  return success({{"range", rangejson(*doc, r)}, {"placeholder", name}});
}

Reply Server::rename(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  std::string to;
  if (!stringof(params, "newName", to)) return failure(INVALID_PARAMS, "no newName");
  const std::string from = doc->labelat(p, nullptr);
  if (from.empty()) return failure(REQUEST_FAILED, "there is no label here to rename");
  const std::string refusal = doc->renamerefusal(to);
  if (!refusal.empty()) return failure(REQUEST_FAILED, refusal);
  json edits = json::array();
  for (const TextEdit& e : doc->rename(from, to)) edits.push_back(editjson(*doc, e));
  return success({{"changes", {{uriof(params), edits}}}});
}

Reply Server::completion(const json& params) {
  Reply reply;
  const Document* doc = nullptr;
  TextPoint p;
  if (!placeof(params, doc, p, reply)) return reply;
  json items = json::array();
  for (const Completion& c : doc->completions(p)) {
    json item = {{"label", c.name},
                 {"kind", c.label ? kCompletionConstant : kCompletionKeyword},
                 {"detail", c.detail}};
    if (!c.help.empty()) item["documentation"] = markdown(c.help);
    items.push_back(item);
  }
  return success(items);
}

Reply Server::symbols(const json& params) {
  Reply reply;
  const Document* doc = documentof(params, reply);
  if (doc == nullptr) return reply;
  json found = json::array();
  for (const LabelSymbol& s : doc->symbols()) {
    found.push_back({{"name", s.name},
                     {"detail", s.detail},
                     {"kind", kSymbolConstant},
                     {"range", rangejson(*doc, s.range)},
                     {"selectionRange", rangejson(*doc, s.name_range)}});
  }
  return success(found);
}

Reply Server::formatting(const json& params) {
  Reply reply;
  const Document* doc = documentof(params, reply);
  if (doc == nullptr) return reply;
  std::vector<TextEdit> edits;
  if (!doc->format(&edits)) {
    return failure(REQUEST_FAILED, "formatting would change the statements: left as it is");
  }
  json found = json::array();
  for (const TextEdit& e : edits) found.push_back(editjson(*doc, e));
  return success(found);
}

Reply Server::codeaction(const json& params) {
  Reply reply;
  const Document* doc = documentof(params, reply);
  if (doc == nullptr) return reply;
  const json& range = field(params, "range");
  long long first = 0, last = 0;
  if (!countof(field(range, "start"), "line", first) ||
      !countof(field(range, "end"), "line", last)) {
    return failure(INVALID_PARAMS, "no range");
  }
  const std::string uri = uriof(params);
  json actions = json::array();
  for (const QuickFix& f : doc->quickfixes(first, last)) {
    const Diagnostic& d = doc->assembly().diagnostics[f.diagnostic];
    actions.push_back({{"title", f.title},
                       {"kind", "quickfix"},
                       {"isPreferred", true},
                       {"diagnostics", {diagnosticjson(*doc, d)}},
                       {"edit", {{"changes", {{uri, {editjson(*doc, f.edit)}}}}}}});
  }
  return success(actions);
}

}  // namespace

int serve(FILE* in, FILE* out, FILE* log) {
  Server server(out, log);
  FrameReader reader(in);
  std::string body, error;
  while (!server.exited() && !server.failed()) {
    const FrameStatus status = reader.next(body, error);
    if (status == FRAME_END) {
      fprintf(log, "orvix --lsp: the input ended before the exit notification\n");
      break;
    }
    if (status == FRAME_MALFORMED) {
      server.malformed(error);
    } else {
      server.handle(body);
    }
  }
  return server.failed() ? 1 : server.status();
}
