#include "script/ScriptSyntax.h"

#include <array>
#include <charconv>
#include <map>
#include <optional>

namespace tervane::script {
namespace {

// Words of the language that cannot name a variable or a property: those the engine reads,
// and the rest of the language's vocabulary, so that a construct it does not support is
// refused rather than taken for a variable.
constexpr std::array kReservedWords = {
    // understood
    "tell", "application", "end", "set", "to", "of", "repeat", "with", "in", "try", "return",
    "every", "whose", "first", "is", "as", "text", "count", "contents", "true", "false", "window",
    "tab",
    // not understood
    "about", "above", "activate", "after", "against", "and", "apart", "around", "aside", "at",
    "back", "before", "beginning", "behind", "below", "beneath", "beside", "between", "boolean",
    "but", "by", "class", "close", "considering", "contain", "contains", "continue", "copy",
    "delay", "div", "does", "eighth", "else", "equal", "equals", "error", "exit", "fifth", "for",
    "fourth", "from", "front", "get", "given", "global", "if", "ignoring", "integer", "into", "it",
    "item", "items", "its", "last", "launch", "list", "local", "log", "me", "middle", "missing",
    "mod", "my", "ninth", "not", "number", "on", "onto", "or", "out", "over", "prop", "property",
    "put", "quit", "real", "record", "ref", "reference", "returning", "run", "script", "second",
    "seventh", "since", "sixth", "some", "string", "tabs", "tenth", "that", "the", "then", "third",
    "through", "thru", "timeout", "times", "transaction", "until", "where", "while", "windows",
    "without"};

struct PropertyName {
  std::string_view words;
  Property property;
};
constexpr std::array<PropertyName, 10> kProperties = {{
    {"id", Property::id},
    {"index", Property::index},
    {"minimized", Property::minimized},
    {"miniaturized", Property::miniaturized},
    {"visible", Property::visible},
    {"active tab index", Property::activeTabIndex},
    {"current tab", Property::currentTab},
    {"title", Property::title},
    {"name", Property::name},
    {"url", Property::url},
}};

bool isReserved(std::string_view word) {
  for (auto reserved : kReservedWords) {
    if (word == reserved) return true;
  }
  return false;
}

bool isPropertyWord(std::string_view word) {
  for (const auto& p : kProperties) {
    if (p.words == word) return true;
  }
  return false;
}

enum class TokenKind { word, integer, string, symbol, newline, end };

struct Token {
  TokenKind kind = TokenKind::end;
  std::string text;  // words lower-cased; the contents of a string; the symbol
  std::int64_t number = 0;
  int line = 0;
};

struct SyntaxError {
  std::string message;
};

[[noreturn]] void failAt(int line, const std::string& what) {
  throw SyntaxError{"line " + std::to_string(line) + ": " + what};
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  out.append(text).append("\"");
  return out;
}

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr std::string_view kContinuation = "\xC2\xAC";  // ¬

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view source) : s_(source) {}

  std::vector<Token> run() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t') {
        ++pos_;
      } else if (c == '\n' || c == '\r') {
        push(TokenKind::newline, "");
        skipLineBreak();
      } else if (startsWith("--")) {
        skipLineComment();
      } else if (startsWith("(*")) {
        skipBlockComment();
      } else if (startsWith(kContinuation)) {
        continueLine();
      } else if (c == '"') {
        readString();
      } else if (isDigit(c)) {
        readInteger();
      } else if (isLetter(c)) {
        readWord();
      } else if (std::string_view("{}(),+=").find(c) != std::string_view::npos) {
        push(TokenKind::symbol, std::string(1, c));
        ++pos_;
      } else {
        failAt(line_, "unexpected character " + describeByte(c));
      }
    }
    push(TokenKind::end, "");
    return std::move(tokens_);
  }

 private:
  bool startsWith(std::string_view text) const { return s_.substr(pos_).starts_with(text); }

  void push(TokenKind kind, std::string text, std::int64_t number = 0) {
    tokens_.push_back(Token{kind, std::move(text), number, line_});
  }

  static std::string describeByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) return quoted(std::string_view(&c, 1));
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0xF];
  }

  void skipLineBreak() {
    if (s_[pos_] == '\r' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    ++line_;
  }

  void skipLineComment() {
    while (pos_ < s_.size() && s_[pos_] != '\n' && s_[pos_] != '\r') ++pos_;
  }

  // Block comments nest, as in the language.
  void skipBlockComment() {
    const int startLine = line_;
    int depth = 0;
    while (pos_ < s_.size()) {
      if (startsWith("(*")) {
        ++depth;
        pos_ += 2;
      } else if (startsWith("*)")) {
        pos_ += 2;
        if (--depth == 0) return;
      } else if (s_[pos_] == '\n' || s_[pos_] == '\r') {
        skipLineBreak();
      } else {
        ++pos_;
      }
    }
    failAt(startLine, "a comment \"(*\" is never closed");
  }

  // "¬" joins the next line to this one: only white space and comments may follow it.
  void continueLine() {
    const int startLine = line_;
    pos_ += kContinuation.size();
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t') {
        ++pos_;
      } else if (startsWith("--")) {
        skipLineComment();
      } else if (startsWith("(*")) {
        skipBlockComment();
      } else if (c == '\n' || c == '\r') {
        skipLineBreak();
        return;
      } else {
        break;
      }
    }
    failAt(startLine, "\"\xC2\xAC\" must end its line");
  }

  void readString() {
    const int startLine = line_;
    std::string text;
    ++pos_;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '"') {
        ++pos_;
        tokens_.push_back(Token{TokenKind::string, std::move(text), 0, startLine});
        return;
      }
      if (c == '\\') {
        if (pos_ + 1 >= s_.size()) break;
        const char e = s_[pos_ + 1];
        switch (e) {
          case '"':
            text += '"';
            break;
          case '\\':
            text += '\\';
            break;
          case 'n':
            text += '\n';
            break;
          case 'r':
            text += '\r';
            break;
          case 't':
            text += '\t';
            break;
          default:
            failAt(line_, "unknown escape \"\\" + std::string(1, e) + "\" in a string");
        }
        pos_ += 2;
        continue;
      }
      if (c == '\n' || (c == '\r' && !(pos_ + 1 < s_.size() && s_[pos_ + 1] == '\n'))) ++line_;
      text += c;
      ++pos_;
    }
    failAt(startLine, "a string is never closed");
  }

  void readInteger() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && isDigit(s_[pos_])) ++pos_;
    if (pos_ < s_.size() && (isLetter(s_[pos_]) || s_[pos_] == '.')) {
      failAt(line_, quoted(s_.substr(start, pos_ + 1 - start)) + " is not a whole number");
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(s_.data() + start, s_.data() + pos_, value);
    if (error != std::errc())
      failAt(line_, "the number " + std::string(s_.substr(start, pos_ - start)) + " is too large");
    push(TokenKind::integer, std::string(s_.substr(start, pos_ - start)), value);
  }

  void readWord() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && (isLetter(s_[pos_]) || isDigit(s_[pos_]))) ++pos_;
    std::string word(s_.substr(start, pos_ - start));
    for (auto& ch : word) {
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    push(TokenKind::word, std::move(word));
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::vector<Token> tokens_;
};

std::string describe(const Token& t) {
  switch (t.kind) {
    case TokenKind::word:
      return "\"" + t.text + "\"";
    case TokenKind::integer:
      return t.text;
    case TokenKind::string:
      return "a string";
    case TokenKind::symbol:
      return "\"" + t.text + "\"";
    case TokenKind::newline:
      return "the end of the line";
    case TokenKind::end:
      return "the end of the script";
  }
  return "?";
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  Program run() {
    Program program;
    program.body = block(nullptr);
    program.variables = std::move(names_);
    return program;
  }

 private:
  const Token& peek(std::size_t ahead = 0) const {
    return t_[std::min(pos_ + ahead, t_.size() - 1)];
  }
  const Token& next() {
    const Token& token = t_[pos_];
    if (pos_ + 1 < t_.size()) ++pos_;
    return token;
  }
  bool isWord(std::size_t ahead, std::string_view word) const {
    const auto& token = peek(ahead);
    return token.kind == TokenKind::word && token.text == word;
  }
  bool isSymbol(char c) const { return peek().kind == TokenKind::symbol && peek().text[0] == c; }
  bool atLineEnd() const {
    return peek().kind == TokenKind::newline || peek().kind == TokenKind::end;
  }

  [[noreturn]] void expected(const std::string& what) const {
    failAt(peek().line, "expected " + what + " but found " + describe(peek()));
  }
  void expectWord(std::string_view word) {
    if (!isWord(0, word)) expected(quoted(word));
    next();
  }
  void expectSymbol(char c) {
    if (!isSymbol(c)) expected(quoted(std::string_view(&c, 1)));
    next();
  }
  void expectLineEnd() {
    if (!atLineEnd()) expected("the end of the line");
    if (peek().kind == TokenKind::newline) next();
  }
  void requireTell() const {
    if (tellDepth_ == 0) {
      failAt(peek().line,
             describe(peek()) + " can only be used inside a \"tell application\" block");
    }
  }

  // Statements up to "end <closing>", or to the end of the script when closing is null.
  std::vector<Stmt> block(const char* closing) {
    const Nesting nesting(*this);
    std::vector<Stmt> body;
    for (;;) {
      while (peek().kind == TokenKind::newline) next();
      if (peek().kind == TokenKind::end) {
        if (closing) expected("\"end " + std::string(closing) + "\"");
        return body;
      }
      if (isWord(0, "end") && !isWord(1, "of")) {
        if (!closing || !isWord(1, closing)) expected("a statement");
        next();
        next();
        expectLineEnd();
        return body;
      }
      body.push_back(statement());
    }
  }

  Stmt statement() {
    Stmt s;
    s.line = peek().line;
    if (isWord(0, "tell")) {
      next();
      expectWord("application");
      if (peek().kind != TokenKind::string) expected("the application's name in quotes");
      s.kind = StmtKind::tell;
      s.text = next().text;
      expectLineEnd();
      ++tellDepth_;
      s.body = block("tell");
      --tellDepth_;
    } else if (isWord(0, "set")) {
      next();
      setStatement(s);
      expectLineEnd();
    } else if (isWord(0, "repeat")) {
      next();
      expectWord("with");
      s.kind = StmtKind::repeatIn;
      s.slot = variableSlot();
      expectWord("in");
      s.exprs.push_back(expression());
      expectLineEnd();
      s.body = block("repeat");
    } else if (isWord(0, "try")) {
      next();
      expectLineEnd();
      s.kind = StmtKind::tryBlock;
      s.body = block("try");
    } else if (isWord(0, "return")) {
      next();
      s.kind = StmtKind::returnValue;
      if (!atLineEnd()) s.exprs.push_back(expression());
      expectLineEnd();
    } else {
      expected("a statement");
    }
    return s;
  }

  void setStatement(Stmt& s) {
    if (isWord(0, "end") && isWord(1, "of")) {
      next();
      next();
      s.kind = StmtKind::setEndOf;
      s.slot = variableSlot();
    } else if (auto property = propertyBeforeOf()) {
      s.kind = StmtKind::setProperty;
      s.property = property->first;
      s.text = property->second;
      s.exprs.push_back(operand());
    } else {
      s.kind = StmtKind::setVariable;
      s.slot = variableSlot();
    }
    expectWord("to");
    s.exprs.push_back(expression());
  }

  int variableSlot() {
    const auto& token = peek();
    if (token.kind != TokenKind::word || isReserved(token.text) || isPropertyWord(token.text)) {
      expected("a variable name");
    }
    next();
    auto [it, inserted] = slots_.try_emplace(token.text, static_cast<int>(names_.size()));
    if (inserted) names_.push_back(token.text);
    return it->second;
  }

  // A property name followed by "of": consumes both and gives the property and its name.
  std::optional<std::pair<Property, std::string>> propertyBeforeOf() {
    if (isWord(0, "active") && isWord(1, "tab") && isWord(2, "index") && isWord(3, "of")) {
      pos_ += 4;
      return std::pair{Property::activeTabIndex, std::string("active tab index")};
    }
    if (isWord(0, "current") && isWord(1, "tab") && isWord(2, "of")) {
      pos_ += 3;
      return std::pair{Property::currentTab, std::string("current tab")};
    }
    const auto& token = peek();
    if (token.kind != TokenKind::word || !isWord(1, "of") || isReserved(token.text)) {
      return std::nullopt;
    }
    std::pair result{Property::other, token.text};
    for (const auto& p : kProperties) {
      if (p.words == token.text) result.first = p.property;
    }
    pos_ += 2;
    return result;
  }

  Expr make(ExprKind kind, int line) {
    Expr e;
    e.kind = kind;
    e.line = line;
    return e;
  }

  Expr expression() {
    Expr left = coercion();
    if (isSymbol('=')) {
      const int line = next().line;
      Expr e = make(ExprKind::equals, line);
      e.operands.push_back(std::move(left));
      e.operands.push_back(coercion());
      return e;
    }
    return left;
  }

  // Each "as" or "+" adds a level to the tree; they count towards the nesting bound.
  void deepen() {
    if (++depth_ > kMaxNesting) failAt(peek().line, "the script is nested too deeply");
  }

  Expr coercion() {
    Expr value = sum();
    const int depthBefore = depth_;
    while (isWord(0, "as")) {
      deepen();
      const int line = next().line;
      expectWord("text");
      Expr e = make(ExprKind::asText, line);
      e.operands.push_back(std::move(value));
      value = std::move(e);
    }
    depth_ = depthBefore;
    return value;
  }

  Expr sum() {
    Expr left = operand();
    const int depthBefore = depth_;
    while (isSymbol('+')) {
      deepen();
      const int line = next().line;
      Expr e = make(ExprKind::add, line);
      e.operands.push_back(std::move(left));
      e.operands.push_back(operand());
      left = std::move(e);
    }
    depth_ = depthBefore;
    return left;
  }

  // One value: a literal, a parenthesized expression, a variable, or an object reference
  // ("title of t", "tab 2 of w", "every window whose visible is true", …).
  Expr operand() {
    const Nesting nesting(*this);
    const Token& token = peek();
    const int line = token.line;
    switch (token.kind) {
      case TokenKind::integer: {
        Expr e = make(ExprKind::integer, line);
        e.number = next().number;
        return e;
      }
      case TokenKind::string: {
        Expr e = make(ExprKind::string, line);
        e.text = next().text;
        return e;
      }
      case TokenKind::symbol:
        if (isSymbol('(')) {
          next();
          Expr inner = expression();
          expectSymbol(')');
          return inner;
        }
        if (isSymbol('{')) return list();
        expected("a value");
      case TokenKind::word:
        break;
      default:
        expected("a value");
    }

    if (isWord(0, "true") || isWord(0, "false")) {
      Expr e = make(ExprKind::boolean, line);
      e.number = next().text == "true" ? 1 : 0;
      return e;
    }
    if (isWord(0, "count") || isWord(0, "contents")) {
      Expr e = make(next().text == "count" ? ExprKind::count : ExprKind::contents, line);
      expectWord("of");
      e.operands.push_back(operand());
      return e;
    }
    if (isWord(0, "every")) {
      requireTell();
      next();
      if (isWord(0, "window")) {
        next();
        Expr e = make(ExprKind::everyWindow, line);
        if (isWord(0, "whose")) whose(e);
        return e;
      }
      if (isWord(0, "tab")) {
        next();
        expectWord("of");
        Expr e = make(ExprKind::everyTab, line);
        e.operands.push_back(operand());
        return e;
      }
      expected("\"window\" or \"tab\"");
    }
    if (isWord(0, "first")) {
      requireTell();
      next();
      expectWord("window");
      if (!isWord(0, "whose")) expected("\"whose\"");
      Expr e = make(ExprKind::firstWindow, line);
      whose(e);
      return e;
    }
    if (isWord(0, "tab")) {
      requireTell();
      next();
      Expr e = make(ExprKind::tabOf, line);
      e.operands.push_back(indexOperand());
      expectWord("of");
      e.operands.push_back(operand());
      return e;
    }
    if (auto property = propertyBeforeOf()) {
      Expr e = make(ExprKind::property, line);
      e.property = property->first;
      e.text = property->second;
      e.operands.push_back(operand());
      return e;
    }
    Expr e = make(ExprKind::variable, line);
    e.slot = variableSlot();
    return e;
  }

  Expr list() {
    Expr e = make(ExprKind::list, peek().line);
    expectSymbol('{');
    if (isSymbol('}')) {
      next();
      return e;
    }
    for (;;) {
      e.operands.push_back(expression());
      if (isSymbol('}')) {
        next();
        return e;
      }
      expectSymbol(',');
    }
  }

  // The position in "tab N of …": a number, a variable or a parenthesized expression.
  Expr indexOperand() {
    if (peek().kind == TokenKind::integer || isSymbol('(')) return operand();
    Expr e = make(ExprKind::variable, peek().line);
    e.slot = variableSlot();
    return e;
  }

  // "whose <property> is <value>" (or "="), after "every window" or "first window".
  void whose(Expr& e) {
    expectWord("whose");
    std::optional<std::pair<Property, std::string>> property;
    if (isWord(0, "active") && isWord(1, "tab") && isWord(2, "index")) {
      pos_ += 3;
      property = std::pair{Property::activeTabIndex, std::string("active tab index")};
    } else if (isWord(0, "current") && isWord(1, "tab")) {
      pos_ += 2;
      property = std::pair{Property::currentTab, std::string("current tab")};
    } else if (peek().kind == TokenKind::word && !isReserved(peek().text)) {
      property = std::pair{Property::other, next().text};
      for (const auto& p : kProperties) {
        if (p.words == property->second) property->first = p.property;
      }
    } else {
      expected("a property name");
    }
    if (isWord(0, "is")) {
      next();
    } else {
      expectSymbol('=');
    }
    e.hasFilter = true;
    e.property = property->first;
    e.text = property->second;
    e.operands.push_back(operand());
  }

  // Bounds the depth of the syntax tree, and with it the recursion of the parser and of the
  // interpreter, so that a hostile text cannot exhaust the stack.
  struct Nesting {
    explicit Nesting(Parser& p) : parser(p) {
      if (++parser.depth_ > kMaxNesting)
        failAt(parser.peek().line, "the script is nested too deeply");
    }
    ~Nesting() { --parser.depth_; }
    Parser& parser;
  };
  static constexpr int kMaxNesting = 200;

  std::vector<Token> t_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int tellDepth_ = 0;
  std::map<std::string, int, std::less<>> slots_;
  std::vector<std::string> names_;
};

}  // namespace

Result<Program> parse(std::string_view source) {
  try {
    return Parser(Tokenizer(source).run()).run();
  } catch (const SyntaxError& e) {
    return Error{e.message, 0};
  }
}

std::string_view spelling(Property property) {
  for (const auto& p : kProperties) {
    if (p.property == property) return p.words;
  }
  return "property";
}

}  // namespace tervane::script
