// The layout solver: the main window's resize, and a large random system.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "layout/solver.h"
#include "windowsystem.h"

namespace {

using namespace tabulon;

using testutil::WindowSystem;

void BM_WindowResize(benchmark::State& state) {
  WindowSystem w;
  w.layout(400, 300);
  int i = 0;
  for (auto _ : state) {
    // A drag: the panel's size changes a little on every event.
    ++i;
    w.layout(300 + (i * 7) % 300, 200 + (i * 13) % 400);
    benchmark::DoNotOptimize(w.current[0].height);
  }
}
BENCHMARK(BM_WindowResize);

void BM_WindowBuild(benchmark::State& state) {
  for (auto _ : state) {
    WindowSystem w;
    w.layout(400, 300);
    benchmark::DoNotOptimize(w.current[0].height);
  }
}
BENCHMARK(BM_WindowBuild);

// A random layout of 100 boxes (left, width, right: 300 variables) under
// 1,000 constraints: per box right == left + width and width >= 10 (required)
// and a preferred width (weak); then 700 relations between neighbouring boxes:
// "j lies right of i" with a gap (a third required), aligned lefts or rights,
// equal widths (weak). Then every box's left and width become edit variables.
struct RandomSystem {
  Solver solver;
  std::vector<VariablePtr> vars;
  std::vector<VariablePtr> edits;
  std::mt19937 rng{20260101};
  int rejected = 0;

  VariablePtr& left(int box) { return vars[3 * box]; }
  VariablePtr& width(int box) { return vars[3 * box + 1]; }
  VariablePtr& right(int box) { return vars[3 * box + 2]; }

  void add(const Expression& e, RelationalOperator op, double strength) {
    try {
      solver.addConstraint(newConstraint(e, op, strength));
    } catch (const UnsatisfiableConstraintException&) {
      ++rejected;
    }
  }

  RandomSystem() {
    for (int i = 0; i < 300; ++i) vars.push_back(newVariable());
    std::uniform_int_distribution<int> pickBox(0, 99), near(1, 4), kind(0, 5), size(10, 200),
        gap(0, 20), third(0, 2);
    for (int b = 0; b < 100; ++b) {
      add(Expression(right(b), 1.0, left(b), -1.0) - Expression(width(b)), OP_EQ,
          requiredStrength);
      add(Expression(width(b), 1.0, -10.0), OP_GE, requiredStrength);
      add(Expression(width(b), 1.0, -size(rng)), OP_EQ, 1.0);
    }
    for (int c = 0; c < 700; ++c) {
      int i = pickBox(rng);
      int j = std::min(i + near(rng), 99);
      if (i == j) i -= 1;
      switch (kind(rng)) {
        case 0:
        case 1:
        case 2:
          add(Expression(left(j), 1.0, right(i), -1.0) - gap(rng), OP_GE,
              third(rng) == 0 ? requiredStrength : 10.0);
          break;
        case 3: add(Expression(left(j), 1.0, left(i), -1.0), OP_EQ, 100.0); break;
        case 4: add(Expression(right(j), 1.0, right(i), -1.0), OP_EQ, 10.0); break;
        default: add(Expression(width(j), 1.0, width(i), -1.0), OP_EQ, 1.0); break;
      }
    }
    for (int b = 0; b < 100; ++b) {
      solver.addEditVariable(left(b), 5.0);
      solver.addEditVariable(width(b), 2.0);
      edits.push_back(left(b));
      edits.push_back(width(b));
    }
  }
};

void BM_RandomAdd1000(benchmark::State& state) {
  for (auto _ : state) {
    RandomSystem s;
    state.counters["rejected"] = s.rejected;
    benchmark::DoNotOptimize(&s);
  }
}
BENCHMARK(BM_RandomAdd1000)->Unit(benchmark::kMillisecond);

void BM_RandomSuggest10000(benchmark::State& state) {
  RandomSystem s;
  std::uniform_int_distribution<int> pick(0, static_cast<int>(s.edits.size()) - 1);
  std::uniform_real_distribution<double> value(0.0, 2000.0);
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) s.solver.suggestValue(s.edits[pick(s.rng)], value(s.rng));
    s.solver.updateVariables();
    benchmark::DoNotOptimize(s.vars[0]->value);
  }
}
BENCHMARK(BM_RandomSuggest10000)->Unit(benchmark::kMillisecond);

}  // namespace
