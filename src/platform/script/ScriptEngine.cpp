#include "script/ScriptEngine.h"

#include <map>
#include <variant>
#include <vector>

namespace tervane {
namespace {

using script::Expr;
using script::ExprKind;
using script::Program;
using script::Property;
using script::Stmt;
using script::StmtKind;

struct Value;
using List = std::vector<Value>;
using ListPtr = std::shared_ptr<List>;

// References to browser objects are resolved when a property is read or set, as the
// scripting language does, so a window that went away in between is noticed then.
struct WindowRef {
  ScriptableBrowser* browser = nullptr;
  std::int64_t id = 0;
  friend bool operator==(const WindowRef&, const WindowRef&) = default;
};
struct TabRef {
  ScriptableBrowser* browser = nullptr;
  std::int64_t window = 0;
  std::int64_t index = 0;
  friend bool operator==(const TabRef&, const TabRef&) = default;
};

// Lists are shared between the variables that hold them, as in the language, so that
// "set end of" grows the list every holder sees.
struct Value {
  std::variant<std::monostate, std::int64_t, bool, std::string, ListPtr, WindowRef, TabRef> v;
};

// A script error on its way to the nearest enclosing "try", or out of the script.
struct Thrown {
  int number;
  std::string message;
};

[[noreturn]] void raise(int number, std::string message) {
  throw Thrown{number, std::move(message)};
}

// The work limit ran out. Deliberately not a `Thrown`: a "try" in the script must not be
// able to catch it and carry on.
struct Exhausted {};

// What is left of the script's work limit (see ScriptEngine.h).
class Budget {
 public:
  explicit Budget(std::uint64_t limit) : left_(limit) {}
  void spend(std::uint64_t units) {
    if (units > left_) {
      left_ = 0;
      throw Exhausted{};
    }
    left_ -= units;
  }

 private:
  std::uint64_t left_;
};

// What copying a value costs. Text is copied character by character; a list is shared,
// not copied.
std::uint64_t weight(const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value.v)) return 1 + text->size() / 4;
  return 1;
}

// Deeper nesting than this is refused, so that converting or destroying a value can never
// exhaust the stack.
constexpr int kMaxListDepth = 100;
constexpr std::size_t kMaxDescription = 120;

void describeInto(const Value& value, std::string& out) {
  if (out.size() > kMaxDescription) return;
  std::visit(
      [&](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out += "missing value";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          out += std::to_string(x);
        } else if constexpr (std::is_same_v<T, bool>) {
          out += x ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::string>) {
          out += '"';
          out += x.size() > kMaxDescription ? x.substr(0, kMaxDescription) + "…" : x;
          out += '"';
        } else if constexpr (std::is_same_v<T, ListPtr>) {
          out += '{';
          for (std::size_t i = 0; i < x->size(); ++i) {
            if (i > 0) out += ", ";
            if (out.size() > kMaxDescription) {
              out += "…";
              break;
            }
            describeInto((*x)[i], out);
          }
          out += '}';
        } else if constexpr (std::is_same_v<T, WindowRef>) {
          out += "window id " + std::to_string(x.id);
        } else {
          out += "tab " + std::to_string(x.index) + " of window id " + std::to_string(x.window);
        }
      },
      value.v);
}

std::string describe(const Value& value) {
  std::string out;
  describeInto(value, out);
  return out;
}

// Lists may share lists (a list literal holds the lists its variables hold), so walking
// one can visit far more items than were ever made; every walk pays per item visited.
int depthOf(const Value& value, Budget& budget) {
  const auto* list = std::get_if<ListPtr>(&value.v);
  if (!list) return 0;
  budget.spend(1 + (*list)->size());
  int deepest = 0;
  for (const auto& item : **list) {
    if (std::holds_alternative<ListPtr>(item.v)) {
      deepest = std::max(deepest, depthOf(item, budget));
    }
  }
  return deepest + 1;
}

Value deepCopy(const Value& value, Budget& budget) {
  budget.spend(weight(value));
  const auto* list = std::get_if<ListPtr>(&value.v);
  if (!list) return value;
  auto copy = std::make_shared<List>();
  copy->reserve((*list)->size());
  for (const auto& item : **list) copy->push_back(deepCopy(item, budget));
  return Value{std::move(copy)};
}

bool equal(const Value& a, const Value& b, Budget& budget) {
  budget.spend(1);
  if (a.v.index() != b.v.index()) return false;
  if (const auto* la = std::get_if<ListPtr>(&a.v)) {
    const auto& lb = std::get<ListPtr>(b.v);
    if (la->get() == lb.get()) return true;
    if ((*la)->size() != lb->size()) return false;
    for (std::size_t i = 0; i < lb->size(); ++i) {
      if (!equal((**la)[i], (*lb)[i], budget)) return false;
    }
    return true;
  }
  if (const auto* text = std::get_if<std::string>(&a.v)) budget.spend(text->size() / 4);
  return a.v == b.v;
}

void appendText(const Value& value, std::string& out, Budget& budget) {
  budget.spend(1);
  if (const auto* s = std::get_if<std::string>(&value.v)) {
    // Text made by the script is paid for by the character: doubling a text at every
    // step must run out long before memory does.
    budget.spend(s->size());
    out += *s;
  } else if (const auto* n = std::get_if<std::int64_t>(&value.v)) {
    out += std::to_string(*n);
  } else if (const auto* b = std::get_if<bool>(&value.v)) {
    out += *b ? "true" : "false";
  } else if (const auto* list = std::get_if<ListPtr>(&value.v)) {
    for (const auto& item : **list) appendText(item, out, budget);
  } else if (std::holds_alternative<std::monostate>(value.v)) {
    out += "missing value";
  } else {
    raise(ScriptErrors::cannotCoerce, "Can't make " + describe(value) + " into type text.");
  }
}

ReplyDescriptor toReply(Value&& value, Budget& budget) {
  budget.spend(weight(value));
  return std::visit(
      [&](auto& x) -> ReplyDescriptor {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return ReplyDescriptor::missing();
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return ReplyDescriptor::integer(x);
        } else if constexpr (std::is_same_v<T, bool>) {
          return ReplyDescriptor::boolean(x);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return ReplyDescriptor::string(std::move(x));
        } else if constexpr (std::is_same_v<T, ListPtr>) {
          std::vector<ReplyDescriptor> items;
          items.reserve(x->size());
          // A list nobody else holds can give up its strings.
          const bool sole = x.use_count() == 1;
          for (auto& item : *x) {
            items.push_back(toReply(sole ? std::move(item) : Value(item), budget));
          }
          return ReplyDescriptor::list(std::move(items));
        } else {
          raise(ScriptErrors::cannotCoerce,
                "Can't make " + describe(Value{x}) + " into a reply value.");
        }
      },
      value.v);
}

class Runtime {
 public:
  Runtime(BrowserLookup& browsers, const Program& program, Budget& budget)
      : budget_(budget),
        browsers_(browsers),
        names_(program.variables),
        variables_(program.variables.size()),
        defined_(program.variables.size(), 0) {}

  // Runs the statements; true when a "return" ended them.
  bool run(const std::vector<Stmt>& body) {
    for (const auto& statement : body) {
      if (execute(statement)) return true;
    }
    return false;
  }

  // The result, with every variable dropped first so that the lists it holds are its own.
  Value takeResult() {
    variables_.clear();
    return std::move(result_);
  }

 private:
  struct Target {
    std::shared_ptr<ScriptableBrowser> browser;
    std::string appName;
  };

  // Keeps the tell stack right when an error unwinds through a block.
  struct TellScope {
    TellScope(Runtime& r, Target target) : runtime(r) {
      runtime.tells_.push_back(target.browser.get());
      for (const auto& held : runtime.targets_) {
        if (held.browser == target.browser) return;
      }
      runtime.targets_.push_back(std::move(target));
    }
    ~TellScope() { runtime.tells_.pop_back(); }
    Runtime& runtime;
  };

  bool execute(const Stmt& s) {
    budget_.spend(1);
    switch (s.kind) {
      case StmtKind::tell:
        return tell(s);
      case StmtKind::setVariable:
        variables_[s.slot] = evaluate(s.exprs[0]);
        defined_[s.slot] = 1;
        return false;
      case StmtKind::setEndOf: {
        Value item = evaluate(s.exprs[0]);
        auto& holder = variable(s.slot);
        auto* list = std::get_if<ListPtr>(&holder.v);
        if (!list) {
          raise(ScriptErrors::cannotSet,
                "Can't set end of " + describe(holder) + " to " + describe(item) + ".");
        }
        if (std::holds_alternative<ListPtr>(item.v)) item = nestable(item);
        (*list)->push_back(std::move(item));
        return false;
      }
      case StmtKind::setProperty: {
        Value objectScratch, valueScratch;
        const Value& object = peek(s.exprs[0], objectScratch);
        const Value& value = peek(s.exprs[1], valueScratch);
        setProperty(s.property, s.text, object, value);
        return false;
      }
      case StmtKind::repeatIn: {
        const Value listValue = evaluate(s.exprs[0]);
        const auto* list = std::get_if<ListPtr>(&listValue.v);
        if (!list) {
          raise(ScriptErrors::cannotCoerce,
                "Can't make " + describe(listValue) + " into type list.");
        }
        // The count is taken once, as the language does; the body may grow the list.
        const ListPtr items = *list;
        const std::size_t count = items->size();
        for (std::size_t i = 0; i < count; ++i) {
          budget_.spend(weight((*items)[i]));
          variables_[s.slot] = (*items)[i];
          defined_[s.slot] = 1;
          if (run(s.body)) return true;
        }
        return false;
      }
      case StmtKind::tryBlock:
        try {
          return run(s.body);
        } catch (const Thrown&) {
          return false;
        }
      case StmtKind::returnValue:
        result_ = s.exprs.empty() ? Value{} : evaluate(s.exprs[0]);
        return true;
    }
    return false;
  }

  bool tell(const Stmt& s) {
    auto browser = browsers_.browserNamed(s.text);
    if (!browser) {
      raise(ScriptErrors::notRunning, s.text + " got an error: Application isn't running.");
    }
    appNames_[browser.get()] = s.text;
    check(browser.get(), browser->connect(), [] { return std::string("the application"); });
    TellScope scope(*this, Target{std::move(browser), s.text});
    return run(s.body);
  }

  Value& variable(int slot) {
    if (!defined_[slot]) {
      raise(ScriptErrors::variableNotDefined, "The variable " + names_[slot] + " is not defined.");
    }
    return variables_[slot];
  }

  // A list placed inside another is copied, so that no list can come to contain itself.
  Value nestable(const Value& list) {
    if (depthOf(list, budget_) >= kMaxListDepth) {
      raise(ScriptErrors::cannotCoerce, "The script nests lists too deeply.");
    }
    return deepCopy(list, budget_);
  }

  ScriptableBrowser& currentTarget() { return *tells_.back(); }

  // The error a browser answered, in the words the scripting bridge would use.
  template <class Describe>
  [[noreturn]] void browserError(ScriptableBrowser* browser, const Error& error, Describe&& what) {
    std::string message = error.message;
    if (message.empty()) {
      switch (error.code) {
        case ScriptErrors::noSuchObject:
          message = "Can't get " + what() + ".";
          break;
        case ScriptErrors::notRunning:
          message = "Application isn't running.";
          break;
        case ScriptErrors::notPermitted:
          message = "Not authorized to send Apple events to " + appNames_[browser] + ".";
          break;
        default:
          message = "The browser refused with error " + std::to_string(error.code) + ".";
      }
    }
    raise(error.code, appNames_[browser] + " got an error: " + message);
  }

  template <class T, class Describe>
  T take(ScriptableBrowser* browser, Result<T>&& answer, Describe&& what) {
    if (!answer) browserError(browser, answer.error(), what);
    return std::move(answer).value();
  }
  template <class Describe>
  void check(ScriptableBrowser* browser, const Status& status, Describe&& what) {
    if (!status) browserError(browser, status.error(), what);
  }

  static bool windowHas(ScriptDictionary dictionary, Property p) {
    switch (p) {
      case Property::id:
      case Property::index:
        return true;
      case Property::minimized:
      case Property::activeTabIndex:
        return dictionary == ScriptDictionary::chromium;
      case Property::miniaturized:
      case Property::visible:
      case Property::currentTab:
        return dictionary == ScriptDictionary::safari;
      default:
        return false;
    }
  }
  static bool tabHas(ScriptDictionary dictionary, Property p) {
    switch (p) {
      case Property::url:
        return true;
      case Property::title:
        return dictionary == ScriptDictionary::chromium;
      case Property::name:
      case Property::index:
        return dictionary == ScriptDictionary::safari;
      default:
        return false;
    }
  }

  [[noreturn]] void noSuchProperty(ScriptableBrowser* browser, const std::string& name,
                                   const Value& object) {
    browserError(browser, ScriptErrors::make(ScriptErrors::noSuchObject),
                 [&] { return name + " of " + describe(object); });
  }

  Value windowProperty(Property p, const std::string& name, const WindowRef& w) {
    auto* b = w.browser;
    if (!windowHas(b->dictionary(), p)) noSuchProperty(b, name, Value{w});
    const auto what = [&] { return name + " of " + describe(Value{w}); };
    switch (p) {
      case Property::id:
        take(b, b->windowIndex(w.id), what);
        return Value{w.id};
      case Property::index:
        return Value{std::int64_t{take(b, b->windowIndex(w.id), what)}};
      case Property::minimized:
      case Property::miniaturized:
        return Value{take(b, b->isMinimized(w.id), what)};
      case Property::visible:
        return Value{take(b, b->isVisible(w.id), what)};
      case Property::activeTabIndex:
        return Value{std::int64_t{take(b, b->activeTabIndex(w.id), what)}};
      case Property::currentTab:
        return Value{TabRef{b, w.id, take(b, b->activeTabIndex(w.id), what)}};
      default:
        noSuchProperty(b, name, Value{w});
    }
  }

  static bool isTabIndex(std::int64_t index) { return index >= 1 && index <= INT32_MAX; }

  Value tabProperty(Property p, const std::string& name, const TabRef& t) {
    auto* b = t.browser;
    if (!tabHas(b->dictionary(), p)) noSuchProperty(b, name, Value{t});
    const auto what = [&] { return name + " of " + describe(Value{t}); };
    if (!isTabIndex(t.index)) noSuchProperty(b, name, Value{t});
    const int index = static_cast<int>(t.index);
    switch (p) {
      case Property::title:
      case Property::name:
        return Value{take(b, b->tabTitle(t.window, index), what)};
      case Property::url:
        return Value{take(b, b->tabUrl(t.window, index), what)};
      case Property::index:
        if (take(b, b->tabCount(t.window), what) < index) noSuchProperty(b, name, Value{t});
        return Value{t.index};
      default:
        noSuchProperty(b, name, Value{t});
    }
  }

  Value property(Property p, const std::string& name, const Value& object) {
    if (const auto* w = std::get_if<WindowRef>(&object.v)) return windowProperty(p, name, *w);
    if (const auto* t = std::get_if<TabRef>(&object.v)) return tabProperty(p, name, *t);
    raise(ScriptErrors::noSuchObject, "Can't get " + name + " of " + describe(object) + ".");
  }

  [[noreturn]] void cannotSet(ScriptableBrowser* browser, const std::string& name,
                              const Value& object, const Value& value) {
    const std::string prefix = browser ? appNames_[browser] + " got an error: " : "";
    raise(ScriptErrors::cannotSet, prefix + "Can't set " + name + " of " + describe(object) +
                                       " to " + describe(value) + ".");
  }

  void setProperty(Property p, const std::string& name, const Value& object, const Value& value) {
    const auto* w = std::get_if<WindowRef>(&object.v);
    if (!w) {
      if (const auto* t = std::get_if<TabRef>(&object.v)) {
        if (!tabHas(t->browser->dictionary(), p)) noSuchProperty(t->browser, name, object);
        cannotSet(t->browser, name, object, value);
      }
      cannotSet(nullptr, name, object, value);
    }
    auto* b = w->browser;
    if (!windowHas(b->dictionary(), p)) noSuchProperty(b, name, object);
    const auto what = [&] { return name + " of " + describe(object); };
    switch (p) {
      case Property::minimized:
      case Property::miniaturized: {
        const auto* flag = std::get_if<bool>(&value.v);
        if (!flag) cannotSet(b, name, object, value);
        check(b, b->setMinimized(w->id, *flag), what);
        return;
      }
      case Property::activeTabIndex: {
        const auto* index = std::get_if<std::int64_t>(&value.v);
        if (!index) cannotSet(b, name, object, value);
        if (!isTabIndex(*index)) {
          browserError(b, ScriptErrors::make(ScriptErrors::noSuchObject),
                       [&] { return "tab " + std::to_string(*index) + " of " + describe(object); });
        }
        check(b, b->setActiveTabIndex(w->id, static_cast<int>(*index)), what);
        return;
      }
      case Property::currentTab: {
        const auto* tab = std::get_if<TabRef>(&value.v);
        if (!tab || tab->browser != b || tab->window != w->id) cannotSet(b, name, object, value);
        if (!isTabIndex(tab->index)) {
          browserError(b, ScriptErrors::make(ScriptErrors::noSuchObject),
                       [&] { return describe(value); });
        }
        check(b, b->setActiveTabIndex(w->id, static_cast<int>(tab->index)),
              [&] { return describe(value); });
        return;
      }
      case Property::index: {
        // Only bringing a window to the front is supported; other positions are refused
        // rather than approximated.
        const auto* index = std::get_if<std::int64_t>(&value.v);
        if (!index || *index != 1) cannotSet(b, name, object, value);
        check(b, b->bringToFront(w->id), what);
        return;
      }
      default:
        cannotSet(b, name, object, value);
    }
  }

  ListPtr windows(const Expr& e) {
    auto& b = currentTarget();
    auto ids = take(&b, b.windowIds(), [] { return std::string("every window"); });
    budget_.spend(ids.size());
    auto out = std::make_shared<List>();
    out->reserve(ids.size());
    std::optional<Value> wanted;
    if (e.hasFilter) wanted = evaluate(e.operands[0]);
    for (auto id : ids) {
      const WindowRef ref{&b, id};
      if (wanted) {
        // The id is known from the list itself; any other property is read from the window.
        const Value actual = e.property == Property::id && windowHas(b.dictionary(), Property::id)
                                 ? Value{id}
                                 : windowProperty(e.property, e.text, ref);
        if (!equal(actual, *wanted, budget_)) continue;
      }
      out->push_back(Value{ref});
      if (e.kind == ExprKind::firstWindow) break;
    }
    if (e.kind == ExprKind::firstWindow && out->empty()) {
      browserError(&b, ScriptErrors::make(ScriptErrors::noSuchObject),
                   [&] { return "window 1 whose " + e.text + " = " + describe(*wanted); });
    }
    return out;
  }

  // The value of an operand without copying it when it is a variable. Expressions never
  // assign, so the reference stays valid while the expression is evaluated.
  const Value& peek(const Expr& e, Value& scratch) {
    if (e.kind == ExprKind::variable) return variable(e.slot);
    scratch = evaluate(e);
    return scratch;
  }

  Value evaluate(const Expr& e) {
    budget_.spend(1);
    switch (e.kind) {
      case ExprKind::integer:
        return Value{e.number};
      case ExprKind::string:
        return Value{e.text};
      case ExprKind::boolean:
        return Value{e.number != 0};
      case ExprKind::list: {
        auto list = std::make_shared<List>();
        list->reserve(e.operands.size());
        for (const auto& operand : e.operands) {
          Value item = evaluate(operand);
          if (std::holds_alternative<ListPtr>(item.v) && depthOf(item, budget_) >= kMaxListDepth) {
            raise(ScriptErrors::cannotCoerce, "The script nests lists too deeply.");
          }
          list->push_back(std::move(item));
        }
        return Value{std::move(list)};
      }
      case ExprKind::variable: {
        const Value& held = variable(e.slot);
        budget_.spend(weight(held));
        return held;
      }
      case ExprKind::property: {
        Value scratch;
        return property(e.property, e.text, peek(e.operands[0], scratch));
      }
      case ExprKind::count: {
        Value scratch;
        const Value& value = peek(e.operands[0], scratch);
        const auto* list = std::get_if<ListPtr>(&value.v);
        if (!list) {
          raise(ScriptErrors::cannotCoerce, "Can't make " + describe(value) + " into type list.");
        }
        return Value{static_cast<std::int64_t>((*list)->size())};
      }
      case ExprKind::contents:
        return evaluate(e.operands[0]);
      case ExprKind::everyWindow:
      case ExprKind::firstWindow: {
        auto found = windows(e);
        if (e.kind == ExprKind::firstWindow) return found->front();
        return Value{std::move(found)};
      }
      case ExprKind::everyTab: {
        Value scratch;
        const Value& object = peek(e.operands[0], scratch);
        const auto* w = std::get_if<WindowRef>(&object.v);
        if (!w)
          raise(ScriptErrors::noSuchObject, "Can't get every tab of " + describe(object) + ".");
        const int count = take(w->browser, w->browser->tabCount(w->id),
                               [&] { return "every tab of " + describe(object); });
        budget_.spend(static_cast<std::uint64_t>(std::max(count, 0)));
        auto tabs = std::make_shared<List>();
        tabs->reserve(static_cast<std::size_t>(std::max(count, 0)));
        for (int i = 1; i <= count; ++i) tabs->push_back(Value{TabRef{w->browser, w->id, i}});
        return Value{std::move(tabs)};
      }
      case ExprKind::tabOf: {
        Value indexScratch, objectScratch;
        const Value& index = peek(e.operands[0], indexScratch);
        const Value& object = peek(e.operands[1], objectScratch);
        const auto* n = std::get_if<std::int64_t>(&index.v);
        if (!n)
          raise(ScriptErrors::cannotCoerce,
                "Can't make " + describe(index) + " into type integer.");
        const auto* w = std::get_if<WindowRef>(&object.v);
        if (!w)
          raise(ScriptErrors::noSuchObject,
                "Can't get tab " + std::to_string(*n) + " of " + describe(object) + ".");
        return Value{TabRef{w->browser, w->id, *n}};
      }
      case ExprKind::add: {
        Value leftScratch, rightScratch;
        const Value& left = peek(e.operands[0], leftScratch);
        const Value& right = peek(e.operands[1], rightScratch);
        const auto* a = std::get_if<std::int64_t>(&left.v);
        const auto* b = std::get_if<std::int64_t>(&right.v);
        if (!a || !b) {
          raise(ScriptErrors::cannotCoerce,
                "Can't make " + describe(a ? right : left) + " into type number.");
        }
        std::int64_t sum = 0;
        if (__builtin_add_overflow(*a, *b, &sum)) {
          raise(ScriptErrors::numberTooLarge, "The result of a numeric operation was too large.");
        }
        return Value{sum};
      }
      case ExprKind::equals: {
        Value leftScratch, rightScratch;
        const Value& left = peek(e.operands[0], leftScratch);
        return Value{equal(left, peek(e.operands[1], rightScratch), budget_)};
      }
      case ExprKind::asText: {
        Value scratch;
        const Value& value = peek(e.operands[0], scratch);
        // Text made for this expression alone is already the answer.
        if (&value == &scratch && std::holds_alternative<std::string>(scratch.v)) return scratch;
        std::string text;
        appendText(value, text, budget_);
        return Value{std::move(text)};
      }
    }
    return Value{};
  }

  Value result_;
  Budget& budget_;
  BrowserLookup& browsers_;
  const std::vector<std::string>& names_;
  std::vector<Value> variables_;
  std::vector<char> defined_;
  std::vector<ScriptableBrowser*> tells_;
  // Every browser the script addressed stays alive until the script ends, so references
  // held in variables outlive their "tell" block safely.
  std::vector<Target> targets_;
  std::map<ScriptableBrowser*, std::string> appNames_;
};

}  // namespace

ScriptEngine::ScriptEngine(std::shared_ptr<BrowserLookup> browsers, std::uint64_t workLimit)
    : browsers_(std::move(browsers)), workLimit_(workLimit) {}

Status ScriptEngine::check(const std::string& script) {
  auto program = script::parse(script);
  if (!program) return program.error();
  return success();
}

ScriptOutcome ScriptEngine::execute(const std::string& script) {
  auto program = script::parse(script);
  if (!program) return ScriptFailure::couldNotCompile();
  Budget budget(workLimit_);
  try {
    Runtime runtime(*browsers_, program.value(), budget);
    runtime.run(program.value().body);
    return toReply(runtime.takeResult(), budget);
  } catch (const Thrown& error) {
    return ScriptFailure::error(error.number, error.message);
  } catch (const Exhausted&) {
    return ScriptFailure::error(ScriptErrors::timedOut,
                                "The script did more work than a browser script may and was "
                                "stopped.");
  } catch (const std::bad_alloc&) {
    return ScriptFailure::error(-108, "Out of memory.");
  }
}

}  // namespace tervane
