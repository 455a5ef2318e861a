#include "layout/solver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <unordered_map>
#include <utility>

namespace tabulon {

namespace {

// A symbol of the tableau: the kind in the top two bits, the id (>= 1) in the
// low 30 bits; 0 means "no symbol". Ids come from one counter for all kinds,
// so they are unique and increase in creation order.
using Symbol = uint32_t;
enum SymbolKind : uint32_t { skExternal = 0, skSlack = 1, skError = 2, skDummy = 3 };
constexpr uint32_t kIdMask = (1u << 30) - 1;
constexpr double kEpsilon = 1e-8;

SymbolKind kindOf(Symbol s) { return static_cast<SymbolKind>(s >> 30); }
uint32_t idOf(Symbol s) { return s & kIdMask; }
bool nearZero(double x) { return std::fabs(x) < kEpsilon; }
bool isRestricted(Symbol s) { return kindOf(s) == skSlack || kindOf(s) == skError; }

struct Cell {
  Symbol symbol;
  double coefficient;
};

// basic symbol = constant + sum of coefficient x symbol. The cells are kept
// sorted by symbol id, which is the fixed order every "first found" choice of
// the solver uses; visiting rows in the same order makes the pivot rules
// smallest-index (Bland) rules. Coefficients that become near zero are dropped
// at once.
//
// `mask` has bit (id mod 64) set for every cell (and perhaps for removed
// ones): the scans over all rows for one symbol skip most rows without
// touching their cells.
class Row {
 public:
  double constant = 0.0;
  std::vector<Cell> cells;
  uint64_t mask = 0;

  static uint64_t bitOf(Symbol s) { return uint64_t{1} << (s & 63); }
  bool mayContain(Symbol s) const { return (mask & bitOf(s)) != 0; }

  double coefficientFor(Symbol s) const {
    if (!mayContain(s)) return 0.0;
    auto it = lowerBound(s);
    return it != cells.end() && it->symbol == s ? it->coefficient : 0.0;
  }

  void insertSymbol(Symbol s, double c) {
    auto it = lowerBound(s);
    if (it != cells.end() && it->symbol == s) {
      double n = it->coefficient + c;
      if (nearZero(n)) {
        cells.erase(it);
      } else {
        it->coefficient = n;
      }
    } else if (!nearZero(c)) {
      cells.insert(it, Cell{s, c});
      mask |= bitOf(s);
    }
  }

  // this += c x other, as insert symbol (s, c x k) for every cell of other, done
  // as one merge of the two sorted cell lists. `scratch` is reused storage.
  void insertRow(const Row& other, double c, std::vector<Cell>& scratch) {
    constant += c * other.constant;
    scratch.clear();
    scratch.reserve(cells.size() + other.cells.size());
    uint64_t merged = 0;
    auto a = cells.begin();
    auto b = other.cells.begin();
    while (a != cells.end() || b != other.cells.end()) {
      if (b == other.cells.end() || (a != cells.end() && idOf(a->symbol) < idOf(b->symbol))) {
        merged |= bitOf(a->symbol);
        scratch.push_back(*a++);
        continue;
      }
      double n = c * b->coefficient;
      if (a != cells.end() && a->symbol == b->symbol) n += (a++)->coefficient;
      if (!nearZero(n)) {
        merged |= bitOf(b->symbol);
        scratch.push_back(Cell{b->symbol, n});
      }
      ++b;
    }
    cells.swap(scratch);
    mask = merged;
  }

  void remove(Symbol s) {
    if (!mayContain(s)) return;
    auto it = lowerBound(s);
    if (it != cells.end() && it->symbol == s) cells.erase(it);
  }

  void reverseSign() {
    constant = -constant;
    for (Cell& cell : cells) cell.coefficient = -cell.coefficient;
  }

  // Rewrites "0 = constant + ... + k s + ..." as "s = ...". s must be a cell.
  void solveFor(Symbol s) {
    double k = -1.0 / coefficientFor(s);
    remove(s);
    constant *= k;
    for (Cell& cell : cells) cell.coefficient *= k;
  }

  // Rewrites "lhs = ... + k rhs + ..." as "rhs = ...".
  void solveFor(Symbol lhs, Symbol rhs) {
    insertSymbol(lhs, -1.0);
    solveFor(rhs);
  }

  void substitute(Symbol s, const Row& other, std::vector<Cell>& scratch) {
    if (!mayContain(s)) return;
    auto it = lowerBound(s);
    if (it == cells.end() || it->symbol != s) return;
    double k = it->coefficient;
    cells.erase(it);
    insertRow(other, k, scratch);
  }

  double add(double v) { return constant += v; }

 private:
  std::vector<Cell>::iterator lowerBound(Symbol s) {
    return std::lower_bound(cells.begin(), cells.end(), s,
                            [](const Cell& c, Symbol x) { return idOf(c.symbol) < idOf(x); });
  }
  std::vector<Cell>::const_iterator lowerBound(Symbol s) const {
    return std::lower_bound(cells.begin(), cells.end(), s,
                            [](const Cell& c, Symbol x) { return idOf(c.symbol) < idOf(x); });
  }
};

// Whether c is rounding residue relative to the largest coefficient of o.
bool isResidue(double c, const Row& o) {
  double largest = 1.0;
  for (const Cell& cell : o.cells) largest = std::max(largest, std::fabs(cell.coefficient));
  return std::fabs(c) < kEpsilon * largest;
}

// The symbols made for one constraint; partner is 0 when absent.
struct ConstraintTag {
  Symbol marker = 0;
  Symbol partner = 0;
};

struct EditEntry {
  ConstraintTag tag;
  ConstraintPtr constraint;
  double constant = 0.0;  // the value last suggested
};

// One entry of the row table, indexed by symbol id: `basic` is the symbol whose
// row this is, or 0 when that symbol is not basic.
struct RowSlot {
  Symbol basic = 0;
  Row row;
};

}  // namespace

struct Solver::Impl {
  // Constraint and variable maps are keyed by address for lookup only and never
  // iterated; `constraints` and `varList` keep the objects alive, and varList
  // gives updateVariables a fixed order.
  std::unordered_map<const Constraint*, ConstraintTag> cns;
  std::vector<ConstraintPtr> constraints;
  std::vector<RowSlot> rows{1};  // rows[0] is never used: id 0 is no symbol
  std::unordered_map<const Variable*, Symbol> vars;
  std::vector<std::pair<VariablePtr, Symbol>> varList;
  std::unordered_map<const Variable*, EditEntry> edits;
  std::vector<Symbol> infeasibleRows;
  Row objective;
  Row artificial;
  bool hasArtificial = false;
  int32_t symbolIDCounter = 0;
  std::vector<Cell> scratch;

  Symbol newSymbol(SymbolKind kind) {
    // Ids are masked to 30 bits; wrapping would make two live symbols equal.
    if (static_cast<uint32_t>(symbolIDCounter) >= kIdMask) {
      throw InternalSolverError("too many solver symbols");
    }
    uint32_t id = (static_cast<uint32_t>(symbolIDCounter) + 1) & kIdMask;
    ++symbolIDCounter;
    rows.resize(id + 1);
    return (static_cast<uint32_t>(kind) << 30) | id;
  }

  bool isBasic(Symbol s) const { return rows[idOf(s)].basic == s; }
  Row& rowOf(Symbol s) { return rows[idOf(s)].row; }

  void storeRow(Symbol s, Row&& row) {
    RowSlot& slot = rows[idOf(s)];
    slot.basic = s;
    slot.row = std::move(row);
  }

  Row takeRow(Symbol s) {
    RowSlot& slot = rows[idOf(s)];
    slot.basic = 0;
    return std::move(slot.row);
  }

  Symbol externalSymbol(const VariablePtr& v) {
    auto it = vars.find(v.get());
    if (it != vars.end()) return it->second;
    Symbol s = newSymbol(skExternal);
    vars.emplace(v.get(), s);
    varList.emplace_back(v, s);
    return s;
  }

  std::pair<Row, ConstraintTag> buildRow(const Constraint& c);
  static Symbol pickSubject(const Row& row, const ConstraintTag& tag);
  void addConstraint(const ConstraintPtr& c);
  bool solveWithArtificial(const Row& row);
  void substituteEverywhere(Symbol s, const Row& row);
  void pivot(Symbol leaving, Symbol entering);
  void primalOptimize(Row& o);
  void dualOptimize();
  void addEditVariable(const VariablePtr& v, double strength);
  void suggestValue(const VariablePtr& v, double value);
  void updateVariables();
};

std::pair<Row, ConstraintTag> Solver::Impl::buildRow(const Constraint& c) {
  Row row;
  row.constant = c.expression.constant;
  for (const Term& term : c.expression.terms) {
    if (nearZero(term.coefficient)) continue;
    Symbol s = externalSymbol(term.variable);
    if (isBasic(s)) {
      row.insertRow(rowOf(s), term.coefficient, scratch);
    } else {
      row.insertSymbol(s, term.coefficient);
    }
  }
  ConstraintTag tag;
  bool required = c.strength == requiredStrength;
  if (c.op == OP_LE || c.op == OP_GE) {
    double k = c.op == OP_LE ? 1.0 : -1.0;
    tag.marker = newSymbol(skSlack);
    row.insertSymbol(tag.marker, k);
    if (!required) {
      tag.partner = newSymbol(skError);
      row.insertSymbol(tag.partner, -k);
      objective.insertSymbol(tag.partner, c.strength);
    }
  } else if (!required) {
    tag.marker = newSymbol(skError);
    tag.partner = newSymbol(skError);
    row.insertSymbol(tag.marker, -1.0);
    row.insertSymbol(tag.partner, 1.0);
    objective.insertSymbol(tag.marker, c.strength);
    objective.insertSymbol(tag.partner, c.strength);
  } else {
    tag.marker = newSymbol(skDummy);
    row.insertSymbol(tag.marker, 1.0);
  }
  if (row.constant < 0.0) row.reverseSign();
  return {std::move(row), tag};
}

Symbol Solver::Impl::pickSubject(const Row& row, const ConstraintTag& tag) {
  for (const Cell& cell : row.cells) {
    if (kindOf(cell.symbol) == skExternal) return cell.symbol;
  }
  if (isRestricted(tag.marker) && row.coefficientFor(tag.marker) < 0.0) return tag.marker;
  if (tag.partner != 0 && isRestricted(tag.partner) && row.coefficientFor(tag.partner) < 0.0) {
    return tag.partner;
  }
  return 0;
}

void Solver::Impl::addConstraint(const ConstraintPtr& c) {
  if (cns.count(c.get()) != 0) throw DuplicateConstraintException();
  auto [row, tag] = buildRow(*c);
  Symbol subject = pickSubject(row, tag);
  if (subject == 0) {
    bool allDummies = true;
    for (const Cell& cell : row.cells) allDummies = allDummies && kindOf(cell.symbol) == skDummy;
    if (allDummies) {
      if (!nearZero(row.constant)) throw UnsatisfiableConstraintException();
      subject = tag.marker;
    }
  }
  if (subject == 0) {
    if (!solveWithArtificial(row)) {
      // The artificial pivots kept the tableau feasible but may have left the
      // old optimum; restore it so a rejected constraint changes no value.
      primalOptimize(objective);
      throw UnsatisfiableConstraintException();
    }
  } else {
    row.solveFor(subject);
    substituteEverywhere(subject, row);
    storeRow(subject, std::move(row));
  }
  cns.emplace(c.get(), tag);
  constraints.push_back(c);
  primalOptimize(objective);
}

bool Solver::Impl::solveWithArtificial(const Row& row) {
  Symbol art = newSymbol(skSlack);
  storeRow(art, Row(row));
  artificial = row;
  hasArtificial = true;
  struct ArtificialGuard {
    Impl* self;
    ~ArtificialGuard() {
      self->hasArtificial = false;
      self->artificial = Row();
    }
  };
  bool success;
  {
    ArtificialGuard guard{this};
    primalOptimize(artificial);
    success = nearZero(artificial.constant);
  }
  if (isBasic(art)) {
    // A basic art appears in no other row, so dropping its row forgets it.
    // On failure that is all: pivoting art out and then zeroing it would force
    // the rejected constraint onto the tableau and break the required ones.
    Row r = takeRow(art);
    if (!success || r.cells.empty()) return success;
    Symbol entering = 0;
    for (const Cell& cell : r.cells) {
      if (isRestricted(cell.symbol)) {
        entering = cell.symbol;
        break;
      }
    }
    if (entering == 0) return false;
    r.solveFor(art, entering);
    substituteEverywhere(entering, r);
    storeRow(entering, std::move(r));
  }
  for (RowSlot& slot : rows) {
    if (slot.basic != 0) slot.row.remove(art);
  }
  objective.remove(art);
  return success;
}

void Solver::Impl::substituteEverywhere(Symbol s, const Row& row) {
  for (RowSlot& slot : rows) {
    if (slot.basic == 0) continue;
    slot.row.substitute(s, row, scratch);
    if (kindOf(slot.basic) != skExternal && slot.row.constant < 0.0) {
      infeasibleRows.push_back(slot.basic);
    }
  }
  objective.substitute(s, row, scratch);
  if (hasArtificial) artificial.substitute(s, row, scratch);
}

void Solver::Impl::pivot(Symbol leaving, Symbol entering) {
  Row row = takeRow(leaving);
  row.solveFor(leaving, entering);
  substituteEverywhere(entering, row);
  storeRow(entering, std::move(row));
}

void Solver::Impl::primalOptimize(Row& o) {
  for (;;) {
    Symbol entering = 0;
    for (const Cell& cell : o.cells) {
      if (kindOf(cell.symbol) != skDummy && cell.coefficient < 0.0) {
        entering = cell.symbol;
        break;
      }
    }
    if (entering == 0) return;

    double best = std::numeric_limits<double>::infinity();
    Symbol leaving = 0;
    for (const RowSlot& slot : rows) {
      if (slot.basic == 0 || kindOf(slot.basic) == skExternal) continue;
      double k = slot.row.coefficientFor(entering);
      if (k < 0.0) {
        double ratio = -slot.row.constant / k;
        if (ratio < best) {
          best = ratio;
          leaving = slot.basic;
        }
      }
    }
    if (leaving == 0) {
      // Both objectives are bounded below by 0 (strengths and errors are not
      // negative), so a symbol that no row limits can only carry rounding
      // residue, which grows with the strengths. Drop a residue that is tiny
      // next to the row's largest coefficient instead of failing on it.
      if (isResidue(o.coefficientFor(entering), o)) {
        o.remove(entering);
        continue;
      }
      throw InternalSolverError("The objective is unbounded.");
    }
    pivot(leaving, entering);
  }
}

void Solver::Impl::dualOptimize() {
  while (!infeasibleRows.empty()) {
    Symbol leaving = infeasibleRows.back();
    infeasibleRows.pop_back();
    if (!isBasic(leaving)) continue;
    const Row& row = rowOf(leaving);
    if (row.constant >= 0.0) continue;
    double best = std::numeric_limits<double>::infinity();
    Symbol entering = 0;
    for (const Cell& cell : row.cells) {
      if (kindOf(cell.symbol) == skDummy || cell.coefficient <= 0.0) continue;
      double ratio = objective.coefficientFor(cell.symbol) / cell.coefficient;
      if (ratio < best) {
        best = ratio;
        entering = cell.symbol;
      }
    }
    // With no candidate the row stays as it is; there is nothing to pivot on.
    if (entering != 0) pivot(leaving, entering);
  }
}

void Solver::Impl::addEditVariable(const VariablePtr& v, double strength) {
  if (edits.count(v.get()) != 0) throw DuplicateEditVariableException();
  strength = clipStrength(strength);
  if (strength == requiredStrength) throw RequiredFailureException();
  ConstraintPtr c = newConstraint(Expression(v, 1.0, 0.0), OP_EQ, strength);
  // A weak equality always finds a subject, so this cannot fail in practice;
  // should it, the window must keep running, so the error is only reported.
  try {
    addConstraint(c);
  } catch (const SolverException& e) {
    std::puts(e.what());
    return;
  } catch (const InternalSolverError& e) {
    std::puts(e.what());
    return;
  }
  edits.emplace(v.get(), EditEntry{cns.at(c.get()), c, 0.0});
}

void Solver::Impl::suggestValue(const VariablePtr& v, double value) {
  auto it = edits.find(v.get());
  if (it == edits.end()) throw UnknownEditVariableException();
  EditEntry& entry = it->second;
  double delta = value - entry.constant;
  entry.constant = value;
  Symbol marker = entry.tag.marker;
  Symbol partner = entry.tag.partner;
  if (isBasic(marker)) {
    if (rowOf(marker).add(-delta) < 0.0) infeasibleRows.push_back(marker);
  } else if (partner != 0 && isBasic(partner)) {
    if (rowOf(partner).add(delta) < 0.0) infeasibleRows.push_back(partner);
  } else {
    for (RowSlot& slot : rows) {
      if (slot.basic == 0) continue;
      double k = slot.row.coefficientFor(marker);
      if (k == 0.0) continue;
      double c = slot.row.add(delta * k);
      if (c < 0.0 && kindOf(slot.basic) != skExternal) infeasibleRows.push_back(slot.basic);
    }
  }
  dualOptimize();
}

void Solver::Impl::updateVariables() {
  for (auto& [variable, symbol] : varList) {
    variable->value = isBasic(symbol) ? rowOf(symbol).constant : 0.0;
  }
}

// ---------------------------------------------------------------------------

VariablePtr newVariable(double value) {
  auto v = std::make_shared<Variable>();
  v->value = value;
  return v;
}

Expression::Expression(VariablePtr variable, double coefficient, double constant)
    : terms{Term{std::move(variable), coefficient}}, constant(constant) {}

Expression::Expression(VariablePtr variable1, double coefficient1, VariablePtr variable2,
                       double coefficient2)
    : terms{Term{std::move(variable1), coefficient1}, Term{std::move(variable2), coefficient2}} {}

Expression operator+(const Expression& a, const Expression& b) {
  Expression sum = a;
  sum.terms.insert(sum.terms.end(), b.terms.begin(), b.terms.end());
  sum.constant += b.constant;
  return sum;
}

Expression operator*(const Expression& e, double k) {
  Expression product = e;
  for (Term& term : product.terms) term.coefficient *= k;
  product.constant *= k;
  return product;
}

Expression operator*(double k, const Expression& e) { return e * k; }

Expression operator+(const Expression& e, double k) {
  Expression sum = e;
  sum.constant += k;
  return sum;
}

Expression operator-(const Expression& a, const Expression& b) { return a + b * -1.0; }

Expression operator-(const Expression& e, double k) { return e + -k; }

double clipStrength(double strength) {
  if (!(strength > 0.0)) return 0.0;
  return strength < requiredStrength ? strength : requiredStrength;
}

ConstraintPtr newConstraint(const Expression& expression, RelationalOperator op,
                            double strength) {
  auto c = std::make_shared<Constraint>();
  c->expression.constant = expression.constant;
  std::vector<Term>& merged = c->expression.terms;
  // Short expressions (the usual case) are merged by a linear search.
  constexpr size_t kLinearLimit = 16;
  std::unordered_map<const Variable*, size_t> index;
  for (const Term& term : expression.terms) {
    size_t at = merged.size();
    if (expression.terms.size() <= kLinearLimit) {
      for (size_t i = 0; i < merged.size(); ++i) {
        if (merged[i].variable == term.variable) {
          at = i;
          break;
        }
      }
    } else {
      at = index.emplace(term.variable.get(), merged.size()).first->second;
    }
    if (at == merged.size()) {
      merged.push_back(term);
    } else {
      merged[at].coefficient += term.coefficient;
    }
  }
  c->strength = clipStrength(strength);
  c->op = op;
  return c;
}

Solver::Solver() : impl_(std::make_unique<Impl>()) {}
Solver::~Solver() = default;
Solver::Solver(Solver&&) noexcept = default;
Solver& Solver::operator=(Solver&&) noexcept = default;

void Solver::addConstraint(const ConstraintPtr& constraint) { impl_->addConstraint(constraint); }

void Solver::addEditVariable(const VariablePtr& variable, double strength) {
  impl_->addEditVariable(variable, strength);
}

bool Solver::hasEditVariable(const VariablePtr& variable) const {
  return impl_->edits.count(variable.get()) != 0;
}

void Solver::suggestValue(const VariablePtr& variable, double value) {
  impl_->suggestValue(variable, value);
}

void Solver::updateVariables() { impl_->updateVariables(); }

Solver newSolver() { return Solver(); }

}  // namespace tabulon
