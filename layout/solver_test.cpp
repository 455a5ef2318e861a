#include "layout/solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "windowsystem.h"

namespace tabulon {
namespace {

// ---------------------------------------------------------------------------
// Building expressions and constraints

TEST(SolverExpression, BuildersCombineTermsAndConstants) {
  VariablePtr x = newVariable(), y = newVariable(4.5);
  EXPECT_EQ(":anonymous", x->mName);
  EXPECT_EQ(4.5, y->value);

  Expression e = (Expression(x, 2.0, 1.0) + Expression(x, 1.0, y, -3.0)) * 2.0 + 5.0;
  ASSERT_EQ(3u, e.terms.size());
  EXPECT_EQ(4.0, e.terms[0].coefficient);
  EXPECT_EQ(2.0, e.terms[1].coefficient);
  EXPECT_EQ(y, e.terms[2].variable);
  EXPECT_EQ(-6.0, e.terms[2].coefficient);
  EXPECT_EQ(7.0, e.constant);
  EXPECT_EQ(-2.0, (Expression(x) - Expression(y, 1.0, 2.0)).constant);
}

TEST(SolverExpression, NewConstraintMergesTermsOfOneVariable) {
  VariablePtr x = newVariable(), y = newVariable();
  ConstraintPtr c = newConstraint(
      Expression(x, 2.0, -10.0) + Expression(y, 1.0, x, 3.0) + Expression(y, -1.0), OP_EQ);
  ASSERT_EQ(2u, c->expression.terms.size());
  EXPECT_EQ(x, c->expression.terms[0].variable);
  EXPECT_EQ(5.0, c->expression.terms[0].coefficient);
  EXPECT_EQ(y, c->expression.terms[1].variable);
  EXPECT_EQ(0.0, c->expression.terms[1].coefficient);  // a merged 0 stays
  EXPECT_EQ(-10.0, c->expression.constant);

  Solver s;
  s.addConstraint(c);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(2.0, x->value);
}

TEST(SolverExpression, StrengthsAreClipped) {
  VariablePtr x = newVariable();
  struct Case {
    double given, clipped;
  } cases[] = {{-1.0, 0.0}, {0.0, 0.0}, {7.5, 7.5}, {requiredStrength, requiredStrength},
               {2e9, requiredStrength}, {std::nan(""), 0.0}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.clipped, newConstraint(Expression(x), OP_GE, c.given)->strength) << c.given;
  }
  EXPECT_EQ(requiredStrength, newConstraint(Expression(x), OP_GE)->strength);
}

// ---------------------------------------------------------------------------
// Failures

TEST(SolverErrors, SameConstraintObjectTwiceIsADuplicate) {
  VariablePtr x = newVariable();
  ConstraintPtr c = newConstraint(Expression(x, 1.0, -5.0), OP_EQ);
  Solver s;
  s.addConstraint(c);
  EXPECT_THROW(s.addConstraint(c), DuplicateConstraintException);
  // Equal content in another object is another constraint, and consistent.
  EXPECT_NO_THROW(s.addConstraint(newConstraint(Expression(x, 1.0, -5.0), OP_EQ)));
}

TEST(SolverErrors, ContradictingRequiredEqualities) {
  VariablePtr x = newVariable();
  Solver s;
  s.addConstraint(newConstraint(Expression(x, 1.0, -5.0), OP_EQ));
  EXPECT_THROW(s.addConstraint(newConstraint(Expression(x, 1.0, -6.0), OP_EQ)),
               UnsatisfiableConstraintException);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(5.0, x->value);
}

TEST(SolverErrors, ContradictingRequiredInequalitiesThroughSlack) {
  VariablePtr x = newVariable(), y = newVariable();
  Solver s;
  s.addConstraint(newConstraint(Expression(x, 1.0, y, -1.0), OP_GE));  // x >= y
  s.addConstraint(newConstraint(Expression(y, 1.0, -10.0), OP_GE));    // y >= 10
  EXPECT_THROW(s.addConstraint(newConstraint(Expression(x, 1.0, -5.0), OP_LE)),
               UnsatisfiableConstraintException);  // x <= 5
  EXPECT_NO_THROW(s.addConstraint(newConstraint(Expression(x, 1.0, -12.0), OP_LE)));
}

// A rejected constraint must leave the previous optimum in place: neither
// forced half-way onto the tableau nor stranded at another feasible vertex.
TEST(SolverErrors, RejectedConstraintLeavesTheSolutionIntact) {
  VariablePtr x = newVariable(), y = newVariable();
  Solver s;
  s.addConstraint(newConstraint(Expression(x, 2.0, 9.0), OP_EQ, 1.0));          // x == -4.5
  s.addConstraint(newConstraint(Expression(x, -1.0, y, -1.0), OP_GE));          // x + y <= 0
  s.addConstraint(newConstraint(Expression(x, -3.0, y, 2.0) + 7.0, OP_GE));     // 2y >= 3x - 7
  EXPECT_THROW(s.addConstraint(newConstraint(Expression(x, 3.0, -6.0), OP_GE)),  // x >= 2
               UnsatisfiableConstraintException);
  s.updateVariables();
  EXPECT_NEAR(-4.5, x->value, 1e-9);
  EXPECT_LE(x->value + y->value, 1e-9);
  EXPECT_GE(2.0 * y->value, 3.0 * x->value - 7.0 - 1e-9);
}

TEST(SolverErrors, RequiredEqualityWithoutVariables) {
  struct Case {
    double constant;
    bool accepted;
  } cases[] = {{0.0, true}, {5e-9, true}, {-5e-9, true}, {2e-8, false}, {-3.0, false}};
  for (const Case& c : cases) {
    Solver s;
    Expression e;
    e.constant = c.constant;
    if (c.accepted) {
      EXPECT_NO_THROW(s.addConstraint(newConstraint(e, OP_EQ))) << c.constant;
    } else {
      EXPECT_THROW(s.addConstraint(newConstraint(e, OP_EQ)), UnsatisfiableConstraintException)
          << c.constant;
    }
  }
  // Terms that cancel leave a row without variables too.
  VariablePtr x = newVariable();
  Solver s;
  EXPECT_THROW(s.addConstraint(newConstraint(Expression(x, 1.0, 1.0) - Expression(x), OP_EQ)),
               UnsatisfiableConstraintException);
}

TEST(SolverErrors, EditVariableMisuse) {
  VariablePtr x = newVariable(), y = newVariable();
  Solver s;
  EXPECT_THROW(s.addEditVariable(x, requiredStrength), RequiredFailureException);
  EXPECT_THROW(s.addEditVariable(x, 5e9), RequiredFailureException);
  EXPECT_FALSE(s.hasEditVariable(x));
  EXPECT_THROW(s.suggestValue(x, 1.0), UnknownEditVariableException);

  s.addEditVariable(x, 1.0);
  EXPECT_TRUE(s.hasEditVariable(x));
  EXPECT_THROW(s.addEditVariable(x, 2.0), DuplicateEditVariableException);
  EXPECT_THROW(s.suggestValue(y, 1.0), UnknownEditVariableException);

  EXPECT_STREQ("", DuplicateEditVariableException().what());
  EXPECT_STREQ("", UnsatisfiableConstraintException().what());
}

// ---------------------------------------------------------------------------
// Strengths, edits and values

TEST(Solver, StrongerOfTwoConflictingEqualitiesWins) {
  for (bool strongFirst : {true, false}) {
    VariablePtr x = newVariable();
    Solver s;
    ConstraintPtr weak = newConstraint(Expression(x, 1.0, -10.0), OP_EQ, 5.0);
    ConstraintPtr strong = newConstraint(Expression(x, 1.0, -20.0), OP_EQ, 7.0);
    s.addConstraint(strongFirst ? strong : weak);
    s.addConstraint(strongFirst ? weak : strong);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(20.0, x->value) << strongFirst;
  }
}

TEST(Solver, RequiredInequalityHoldsAgainstSuggestions) {
  VariablePtr width = newVariable();
  Solver s;
  s.addConstraint(newConstraint(Expression(width, 1.0, -100.0), OP_GE));
  s.addEditVariable(width, 1000.0);
  for (double suggested : {50.0, 150.0, -1e6, 100.0, 99.999, 1e6, 0.0}) {
    s.suggestValue(width, suggested);
    s.updateVariables();
    EXPECT_DOUBLE_EQ(std::max(100.0, suggested), width->value) << suggested;
  }
}

TEST(Solver, ZeroStrengthEditHasNoPull) {
  VariablePtr x = newVariable();
  Solver s;
  s.addConstraint(newConstraint(Expression(x, 1.0, -3.0), OP_EQ, 1.0));
  s.addEditVariable(x, -5.0);  // clipped to 0, accepted
  EXPECT_TRUE(s.hasEditVariable(x));
  s.suggestValue(x, 100.0);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(3.0, x->value);
}

TEST(Solver, ValuesChangeOnlyInUpdateVariables) {
  VariablePtr x = newVariable(), y = newVariable(5.0), unknown = newVariable(9.0);
  Solver s;
  // x + y == 10: x becomes basic, y stays parametric and reads 0.
  s.addConstraint(newConstraint(Expression(x, 1.0, y, 1.0) + -10.0, OP_EQ));
  EXPECT_EQ(5.0, y->value);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(10.0, x->value);
  EXPECT_EQ(0.0, y->value);

  s.addEditVariable(x, 1.0);
  s.suggestValue(x, 4.0);
  EXPECT_DOUBLE_EQ(10.0, x->value);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(4.0, x->value);
  EXPECT_DOUBLE_EQ(6.0, y->value);
  EXPECT_EQ(9.0, unknown->value);

  // Suggesting the same value again changes nothing.
  s.suggestValue(x, 4.0);
  s.updateVariables();
  EXPECT_DOUBLE_EQ(4.0, x->value);
  EXPECT_DOUBLE_EQ(6.0, y->value);
}

TEST(Solver, TwoVariablesWithSameNameAreDistinct) {
  VariablePtr a = newVariable(), b = newVariable();
  a->mName = b->mName = "w";
  Solver s;
  s.addConstraint(newConstraint(Expression(a, 1.0, -1.0), OP_EQ));
  s.addConstraint(newConstraint(Expression(b, 1.0, -2.0), OP_EQ));
  s.updateVariables();
  EXPECT_EQ(1.0, a->value);
  EXPECT_EQ(2.0, b->value);
}

// ---------------------------------------------------------------------------
// Property test: random small systems against exhaustive vertex enumeration.
//
// The solver minimises sum(strength x violation) over the non-required
// constraints and edits subject to the required ones. That function is linear
// on every cell of the arrangement of all constraint hyperplanes; adding the
// coordinate planes makes every cell pointed, so the minimum is attained at a
// vertex of the arrangement, and trying every vertex finds it.

struct RefConstraint {
  std::vector<double> a;  // coefficients per variable
  double c;
  RelationalOperator op;
  double strength;
};

struct RefEdit {
  int var;
  double strength;
  double target;
};

double violation(const RefConstraint& k, const std::vector<double>& x) {
  double v = k.c;
  for (size_t i = 0; i < x.size(); ++i) v += k.a[i] * x[i];
  switch (k.op) {
    case OP_LE: return std::max(0.0, v);
    case OP_GE: return std::max(0.0, -v);
    default: return std::fabs(v);
  }
}

struct RefSystem {
  int n;
  std::vector<RefConstraint> constraints;
  std::vector<RefEdit> edits;

  bool requiredHold(const std::vector<double>& x, double tol) const {
    for (const RefConstraint& k : constraints) {
      if (k.strength == requiredStrength && violation(k, x) > tol) return false;
    }
    return true;
  }

  double cost(const std::vector<double>& x) const {
    double f = 0.0;
    for (const RefConstraint& k : constraints) {
      if (k.strength != requiredStrength) f += k.strength * violation(k, x);
    }
    for (const RefEdit& e : edits) f += e.strength * std::fabs(x[e.var] - e.target);
    return f;
  }

  // The least cost over points that meet the required constraints, or nothing
  // when there are none.
  std::optional<double> bruteForceMinimum() const {
    std::vector<std::pair<std::vector<double>, double>> planes;  // a . x + c = 0
    for (const RefConstraint& k : constraints) planes.emplace_back(k.a, k.c);
    for (const RefEdit& e : edits) {
      std::vector<double> a(n, 0.0);
      a[e.var] = 1.0;
      planes.emplace_back(a, -e.target);
    }
    for (int i = 0; i < n; ++i) {
      std::vector<double> a(n, 0.0);
      a[i] = 1.0;
      planes.emplace_back(a, 0.0);
    }
    std::optional<double> best;
    std::vector<int> pick(n);
    std::vector<double> x;
    auto visit = [&](auto&& self, int depth, int from) -> void {
      if (depth == n) {
        if (!solveSquare(planes, pick, x)) return;
        if (!requiredHold(x, 1e-7)) return;
        double f = cost(x);
        if (!best || f < *best) best = f;
        return;
      }
      for (int p = from; p < static_cast<int>(planes.size()); ++p) {
        pick[depth] = p;
        self(self, depth + 1, p + 1);
      }
    };
    visit(visit, 0, 0);
    return best;
  }

  // Gaussian elimination with partial pivoting on the picked planes (n <= 3).
  bool solveSquare(const std::vector<std::pair<std::vector<double>, double>>& planes,
                   const std::vector<int>& pick, std::vector<double>& x) const {
    double m[3][4];
    for (int r = 0; r < n; ++r) {
      for (int c = 0; c < n; ++c) m[r][c] = planes[pick[r]].first[c];
      m[r][n] = -planes[pick[r]].second;
    }
    for (int col = 0; col < n; ++col) {
      int p = col;
      for (int r = col + 1; r < n; ++r) {
        if (std::fabs(m[r][col]) > std::fabs(m[p][col])) p = r;
      }
      if (std::fabs(m[p][col]) < 1e-9) return false;
      for (int c = 0; c <= n; ++c) std::swap(m[p][c], m[col][c]);
      for (int r = 0; r < n; ++r) {
        if (r == col) continue;
        double f = m[r][col] / m[col][col];
        for (int c = col; c <= n; ++c) m[r][c] -= f * m[col][c];
      }
    }
    x.resize(n);
    for (int r = 0; r < n; ++r) x[r] = m[r][n] / m[r][r];
    return true;
  }
};

class RandomSystem {
 public:
  explicit RandomSystem(uint32_t seed) : rng_(seed) {
    ref_.n = pick(2, 3);
    for (int i = 0; i < ref_.n; ++i) {
      vars_.push_back(newVariable());
      vars_.back()->mName = std::string(1, static_cast<char>('x' + i));
      log_ += "var " + vars_.back()->mName + "\n";
    }
  }

  // The operations so far, as a script for tabulon-inspect solve.
  const std::string& log() const { return log_; }

  // Runs one random operation on both the solver and the reference and checks
  // the solver's solution afterwards.
  void step() {
    int what = pick(0, 9);
    if (what < 5) {
      addConstraint();
    } else if (what < 7) {
      addEdit();
    } else {
      suggest();
    }
    check();
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  void addConstraint() {
    RefConstraint k;
    Expression e;
    for (int i = 0; i < ref_.n; ++i) {
      double a = pick(0, 2) == 0 ? 0.0 : pick(-3, 3);
      k.a.push_back(a);
      if (a != 0.0 || pick(0, 3) == 0) e = e + Expression(vars_[i], a);
    }
    k.c = pick(-10, 10);
    e.constant = k.c;
    k.op = static_cast<RelationalOperator>(pick(0, 2));
    static const double kStrengths[] = {requiredStrength, requiredStrength, 1.0, 3.0, 10.0, 250.0};
    k.strength = kStrengths[pick(0, 5)];
    log_ += "c " + (k.strength == requiredStrength ? std::string("required") : num(k.strength)) +
            (k.op == OP_LE ? " <=" : k.op == OP_GE ? " >=" : " ==");
    for (const Term& t : e.terms) log_ += " " + num(t.coefficient) + "*" + t.variable->mName;
    log_ += " " + num(k.c) + "\n";
    try {
      solver_.addConstraint(newConstraint(e, k.op, k.strength));
      ref_.constraints.push_back(k);
      ASSERT_TRUE(ref_.bruteForceMinimum().has_value()) << "accepted an unsatisfiable constraint";
    } catch (const UnsatisfiableConstraintException&) {
      log_ += "# rejected\n";
      ASSERT_EQ(requiredStrength, k.strength);
      RefSystem with = ref_;
      with.constraints.push_back(k);
      ASSERT_FALSE(with.bruteForceMinimum().has_value()) << "rejected a satisfiable constraint";
    }
  }

  void addEdit() {
    int v = pick(0, ref_.n - 1);
    static const double kStrengths[] = {0.5, 2.0, 7.0, 1000.0};
    double strength = kStrengths[pick(0, 3)];
    if (solver_.hasEditVariable(vars_[v])) {
      EXPECT_THROW(solver_.addEditVariable(vars_[v], strength), DuplicateEditVariableException);
      return;
    }
    solver_.addEditVariable(vars_[v], strength);
    log_ += "edit " + vars_[v]->mName + " " + num(strength) + "\n";
    ref_.edits.push_back(RefEdit{v, strength, 0.0});
  }

  void suggest() {
    if (ref_.edits.empty()) return;
    RefEdit& e = ref_.edits[pick(0, static_cast<int>(ref_.edits.size()) - 1)];
    e.target = pick(-40, 40) / 2.0;
    solver_.suggestValue(vars_[e.var], e.target);
    log_ += "suggest " + vars_[e.var]->mName + " " + num(e.target) + "\n";
  }

  static std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }

  void check() {
    solver_.updateVariables();
    log_ += "update\n";
    std::vector<double> x;
    for (const VariablePtr& v : vars_) x.push_back(v->value);
    ASSERT_TRUE(ref_.requiredHold(x, 1e-6));
    std::optional<double> best = ref_.bruteForceMinimum();
    ASSERT_TRUE(best.has_value());
    EXPECT_NEAR(*best, ref_.cost(x), 1e-6 * (1.0 + *best));
  }

  std::mt19937 rng_;
  RefSystem ref_;
  std::vector<VariablePtr> vars_;
  Solver solver_;
  std::string log_;
};

TEST(SolverProperty, RandomSystemsStayFeasibleAndOptimal) {
  for (uint32_t seed = 1; seed <= 1000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomSystem system(seed);
    for (int i = 0; i < 14 && !testing::Test::HasFailure(); ++i) system.step();
    if (testing::Test::HasFailure()) {
      ADD_FAILURE() << "operations:\n" << system.log();
      break;
    }
  }
}

// A bigger layout-shaped system (boxes in a row with gaps, alignments and
// preferred widths; weak and required) under many suggestions: the required
// constraints keep holding, and two runs give bit-identical values.
class BoxRow {
 public:
  explicit BoxRow(uint32_t seed) : rng_(seed) {
    for (int i = 0; i < 3 * kBoxes; ++i) vars_.push_back(newVariable());
    std::uniform_int_distribution<int> pickBox(0, kBoxes - 1), near(1, 4), kind(0, 5),
        size(10, 200), gap(0, 20), third(0, 2);
    for (int b = 0; b < kBoxes; ++b) {
      add(Expression(right(b), 1.0, left(b), -1.0) - Expression(width(b)), OP_EQ,
          requiredStrength);
      add(Expression(width(b), 1.0, -10.0), OP_GE, requiredStrength);
      add(Expression(width(b), 1.0, -size(rng_)), OP_EQ, 1.0);
    }
    for (int c = 0; c < 8 * kBoxes; ++c) {
      int i = pickBox(rng_);
      int j = std::min(i + near(rng_), kBoxes - 1);
      if (i == j) i -= 1;
      switch (kind(rng_)) {
        case 0: case 1: case 2:
          add(Expression(left(j), 1.0, right(i), -1.0) - gap(rng_), OP_GE,
              third(rng_) == 0 ? requiredStrength : 10.0);
          break;
        case 3: add(Expression(left(j), 1.0, left(i), -1.0), OP_EQ, 100.0); break;
        case 4: add(Expression(right(j), 1.0, right(i), -1.0), OP_EQ, 10.0); break;
        default: add(Expression(width(j), 1.0, width(i), -1.0), OP_EQ, 1.0); break;
      }
    }
    for (int b = 0; b < kBoxes; ++b) {
      solver_.addEditVariable(left(b), 5.0);
      solver_.addEditVariable(width(b), 2.0);
    }
  }

  void suggestRandom(int count) {
    std::uniform_int_distribution<int> pickBox(0, kBoxes - 1), value(0, 2000);
    for (int i = 0; i < count; ++i) {
      int b = pickBox(rng_);
      solver_.suggestValue(i % 2 ? width(b) : left(b), value(rng_));
    }
  }

  // The largest violation of a required constraint after updateVariables.
  double worstRequired() {
    solver_.updateVariables();
    double worst = 0.0;
    for (const ConstraintPtr& c : required_) {
      double v = c->expression.constant;
      for (const Term& t : c->expression.terms) v += t.coefficient * t.variable->value;
      worst = std::max(worst, c->op == OP_EQ ? std::fabs(v) : c->op == OP_GE ? -v : v);
    }
    return worst;
  }

  std::vector<double> values() const {
    std::vector<double> out;
    for (const VariablePtr& v : vars_) out.push_back(v->value);
    return out;
  }

 private:
  static constexpr int kBoxes = 40;
  VariablePtr& left(int b) { return vars_[3 * b]; }
  VariablePtr& width(int b) { return vars_[3 * b + 1]; }
  VariablePtr& right(int b) { return vars_[3 * b + 2]; }

  void add(const Expression& e, RelationalOperator op, double strength) {
    ConstraintPtr c = newConstraint(e, op, strength);
    try {
      solver_.addConstraint(c);
      if (strength == requiredStrength) required_.push_back(c);
    } catch (const UnsatisfiableConstraintException&) {
    }
  }

  std::mt19937 rng_;
  std::vector<VariablePtr> vars_;
  std::vector<ConstraintPtr> required_;
  Solver solver_;
};

TEST(SolverProperty, LayoutShapedSystemStaysFeasibleAndDeterministic) {
  BoxRow a(7), b(7);
  EXPECT_LT(a.worstRequired(), 1e-6);
  for (int round = 0; round < 5; ++round) {
    a.suggestRandom(400);
    b.suggestRandom(400);
    EXPECT_LT(a.worstRequired(), 1e-6) << round;
    b.worstRequired();
    EXPECT_EQ(a.values(), b.values()) << round;
  }
}

// ---------------------------------------------------------------------------
// The main window's layout system: a panel and five controls in a bottom row
// under the instruction text.

using testutil::Rect;

class WindowLayout : public testing::Test, protected testutil::WindowSystem {
 protected:
  void expectTableHolds(double width, double height) {
    const Rect &text = current[kText], &home = current[kHome], &contact = current[kContact];
    EXPECT_NEAR(0.0, text.left, 1e-6);
    EXPECT_NEAR(0.0, text.top, 1e-6);
    EXPECT_NEAR(width, text.width, 1e-6);
    EXPECT_NEAR(15.0, home.left, 1e-6);
    for (int i = kHome; i <= kContact; ++i) {
      EXPECT_NEAR(text.top + text.height, current[i].top, 1e-6) << i;
      EXPECT_NEAR(height, current[i].top + current[i].height, 1e-6) << i;
      if (i > kHome) {
        EXPECT_NEAR(current[i - 1].left + current[i - 1].width + 10.0, current[i].left, 1e-6) << i;
      }
    }
    EXPECT_NEAR(width - 15.0, contact.left + contact.width, 1e-6);
  }
};

TEST_F(WindowLayout, SettledLayoutKeepsTheControlsWhereTheyAre) {
  Rect before[5];
  std::copy(std::begin(current), std::end(current), before);
  layout(400, 300);
  expectTableHolds(400, 300);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(before[i].left, current[i].left, 1e-6) << i;
    EXPECT_NEAR(before[i].width, current[i].width, 1e-6) << i;
    EXPECT_NEAR(before[i].height, current[i].height, 1e-6) << i;
  }
  EXPECT_NEAR(0.0, panel.left->value, 1e-9);
  EXPECT_NEAR(300.0, panel.height->value, 1e-9);
}

TEST_F(WindowLayout, TallerPanelGrowsOnlyTheInstructionText) {
  layout(400, 300);
  layout(400, 420);
  expectTableHolds(400, 420);
  EXPECT_NEAR(380.0, current[kText].height, 1e-6);
  for (int i = kHome; i <= kContact; ++i) {
    EXPECT_NEAR(40.0, current[i].height, 1e-6) << i;
    EXPECT_NEAR(380.0, current[i].top, 1e-6) << i;
  }
  layout(400, 250);
  expectTableHolds(400, 250);
  EXPECT_NEAR(210.0, current[kText].height, 1e-6);
  EXPECT_NEAR(40.0, current[kFile].height, 1e-6);
}

TEST_F(WindowLayout, NarrowerPanelKeepsTextFullWidthAndLinksAtTheEdges) {
  layout(400, 300);
  for (double width : {300.0, 520.0, 333.0}) {
    layout(width, 300);
    expectTableHolds(width, 300);
    for (int i = kHome; i <= kContact; ++i) EXPECT_NEAR(40.0, current[i].height, 1e-6);
  }
}

// A long drag: the window rounds the solved rectangles to whole pixels and
// feeds them back as the controls' current rectangles on the next event.
TEST_F(WindowLayout, ManyResizesKeepTheTable) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> width(120, 2000), height(60, 1400);
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    double w = width(rng), h = height(rng);
    layout(w, h);
    expectTableHolds(w, h);
    for (Rect& r : current) {
      r = Rect{std::round(r.left), std::round(r.top), std::round(r.width), std::round(r.height)};
    }
  }
}

}  // namespace
}  // namespace tabulon
