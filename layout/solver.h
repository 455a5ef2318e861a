// An incremental solver for linear equalities and inequalities with strengths.
//
// The tableau is kept in solved form: adding a constraint runs a primal simplex
// step, suggesting a value for an edit variable runs a dual simplex step. A
// constraint weaker than requiredStrength may be violated when it conflicts
// with stronger ones; the solver minimises the sum of strength x violation.
// Nothing is ever removed and nothing is solved from scratch.
//
// Single-threaded: one solver belongs to one window.
#ifndef TABULON_LAYOUT_SOLVER_H_
#define TABULON_LAYOUT_SOLVER_H_

#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tabulon {

// A solver variable. Identity is the object: two variables with equal names are
// different variables. Callers and solvers share it through VariablePtr; the
// solver writes `value` only in updateVariables.
struct Variable {
  std::string mName = ":anonymous";
  double value = 0.0;
};
using VariablePtr = std::shared_ptr<Variable>;

// A new variable named ":anonymous" holding `value`.
VariablePtr newVariable(double value = 0.0);

struct Term {
  VariablePtr variable;  // never null
  double coefficient = 1.0;
};

// The sum of coefficient x variable over `terms`, plus `constant`.
struct Expression {
  std::vector<Term> terms;
  double constant = 0.0;

  Expression() = default;
  // coefficient x variable + constant.
  Expression(VariablePtr variable, double coefficient = 1.0, double constant = 0.0);
  // coefficient1 x variable1 + coefficient2 x variable2.
  Expression(VariablePtr variable1, double coefficient1, VariablePtr variable2,
             double coefficient2);
};

// The terms of a followed by those of b; the constants are added.
Expression operator+(const Expression& a, const Expression& b);
// Every coefficient and the constant multiplied by k.
Expression operator*(const Expression& e, double k);
Expression operator*(double k, const Expression& e);
// The same terms with the constant increased by k.
Expression operator+(const Expression& e, double k);
// Shorthands: a + b * -1 and e + -k.
Expression operator-(const Expression& a, const Expression& b);
Expression operator-(const Expression& e, double k);

// The relation of a constraint's expression to 0.
enum RelationalOperator : uint8_t {
  OP_LE,  // expression <= 0
  OP_GE,  // expression >= 0
  OP_EQ,  // expression == 0
};

// A constraint is required exactly when its strength equals this value.
inline constexpr double requiredStrength = 1001001000.0;

// Clips a strength into [0, requiredStrength]; NaN counts as 0.
double clipStrength(double strength);

// expression op 0. Identity is the object: the same content added twice as two
// objects gives two constraints.
struct Constraint {
  Expression expression;  // reduced: one term per variable
  double strength = requiredStrength;
  RelationalOperator op = OP_EQ;
};
using ConstraintPtr = std::shared_ptr<const Constraint>;

// A constraint over `expression` with the terms of each variable merged into one
// term (in order of first appearance; a merged coefficient of 0 is kept) and the
// strength clipped. Every term's variable must be non-null.
ConstraintPtr newConstraint(const Expression& expression, RelationalOperator op,
                            double strength = requiredStrength);

// The solver's exceptions carry an empty message; the type tells the case.
class SolverException : public std::exception {
 public:
  const char* what() const noexcept override { return ""; }
};
// addConstraint: this constraint object was added before.
class DuplicateConstraintException : public SolverException {};
// addConstraint: a required constraint contradicts the required ones present.
class UnsatisfiableConstraintException : public SolverException {};
// addEditVariable: the variable already is an edit variable.
class DuplicateEditVariableException : public SolverException {};
// addEditVariable: the clipped strength equals requiredStrength.
class RequiredFailureException : public SolverException {};
// suggestValue: the variable is not an edit variable.
class UnknownEditVariableException : public SolverException {};

// A broken invariant inside the solver, e.g. "The objective is unbounded.".
// The objective only weighs error symbols by non-negative strengths, so
// ordinary use never raises it.
class InternalSolverError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class Solver {
 public:
  Solver();
  ~Solver();
  Solver(Solver&&) noexcept;
  Solver& operator=(Solver&&) noexcept;
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  // Adds the constraint and re-optimises. Throws DuplicateConstraintException
  // when this object was added before, UnsatisfiableConstraintException when it
  // is required and contradicts the required constraints present; the
  // constraint is then not recorded and the current solution stays optimal.
  // The solver keeps the constraint and its variables alive.
  void addConstraint(const ConstraintPtr& constraint);

  // Makes `variable` an edit variable: a constraint variable == suggested value
  // of the given (clipped) strength, the suggested value being 0 at first.
  // Throws DuplicateEditVariableException when it already is one and
  // RequiredFailureException when the clipped strength is requiredStrength.
  // An error from adding the edit constraint itself is written to standard
  // output and does not escape (the variable is then not an edit variable).
  void addEditVariable(const VariablePtr& variable, double strength);

  bool hasEditVariable(const VariablePtr& variable) const;

  // Moves the edit variable's target to `value` and re-solves with the dual
  // simplex. Throws UnknownEditVariableException when it is not an edit variable.
  // Variable values change only at the next updateVariables.
  void suggestValue(const VariablePtr& variable, double value);

  // Writes the solved value into every variable the solver has seen (0 for a
  // variable whose symbol is not basic).
  void updateVariables();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

Solver newSolver();

// The same operations as free functions.
inline void addConstraint(Solver& s, const ConstraintPtr& c) { s.addConstraint(c); }
inline void addEditVariable(Solver& s, const VariablePtr& v, double strength) {
  s.addEditVariable(v, strength);
}
inline bool hasEditVariable(const Solver& s, const VariablePtr& v) { return s.hasEditVariable(v); }
inline void suggestValue(Solver& s, const VariablePtr& v, double value) { s.suggestValue(v, value); }
inline void updateVariables(Solver& s) { s.updateVariables(); }

}  // namespace tabulon

#endif  // TABULON_LAYOUT_SOLVER_H_
