// The syntax of the browser scripting language the engine understands: the statements and
// expressions the browser scripts are made of, in any spacing, with comments ("--" to the
// end of the line, "(* … *)" nested), parentheses and "¬" line continuations. Words are
// matched without regard to letter case, as the language does. Anything outside this subset
// is refused with a message naming the line, never read as something close to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace tervane::script {

// The properties the engine knows by name. Which of them an object has depends on the
// browser's dictionary; a name it does not know is `other` and is kept as written.
enum class Property {
  id,
  index,
  minimized,
  miniaturized,
  visible,
  activeTabIndex,
  currentTab,
  title,
  name,
  url,
  other
};

enum class ExprKind {
  integer,      // number
  string,       // text
  boolean,      // number (0 or 1)
  list,         // operands: the items
  variable,     // slot
  property,     // property/text; operands: the object
  count,        // operands: the list
  contents,     // operands: the reference
  everyWindow,  // optional filter: property/text, operands: the value to match
  everyTab,     // operands: the window
  firstWindow,  // filter (required) as for everyWindow
  tabOf,        // operands: the index, the window
  add,          // operands: left, right
  equals,       // operands: left, right
  asText,       // operands: the value
};

struct Expr {
  ExprKind kind = ExprKind::integer;
  int line = 0;
  std::int64_t number = 0;
  std::string text;
  Property property = Property::other;
  bool hasFilter = false;
  int slot = -1;
  std::vector<Expr> operands;
};

enum class StmtKind {
  tell,         // text: application name; body
  setVariable,  // slot; exprs: value
  setEndOf,     // slot; exprs: value
  setProperty,  // property/text; exprs: object, value
  repeatIn,     // slot; exprs: list; body
  tryBlock,     // body
  returnValue,  // exprs: the value, or none
};

struct Stmt {
  StmtKind kind = StmtKind::returnValue;
  int line = 0;
  std::string text;
  Property property = Property::other;
  int slot = -1;
  std::vector<Expr> exprs;
  std::vector<Stmt> body;
};

struct Program {
  std::vector<Stmt> body;
  std::vector<std::string> variables;  // by slot, lower-cased
};

// Parses a whole script. The error's message says where and what was expected.
[[nodiscard]] Result<Program> parse(std::string_view source);

// The name of a property as the language writes it ("active tab index").
std::string_view spelling(Property property);

}  // namespace tervane::script
