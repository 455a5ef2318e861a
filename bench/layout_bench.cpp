// The layout solver: the main window's resize, and a large random system.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "layout/solver.h"

namespace {

using namespace tabulon;

struct Box {
  VariablePtr left = newVariable(), top = newVariable(), width = newVariable(),
              height = newVariable();
  Expression l() const { return Expression(left); }
  Expression t() const { return Expression(top); }
  Expression r() const { return Expression(left, 1.0, width, 1.0); }
  Expression b() const { return Expression(top, 1.0, height, 1.0); }
};

// The window's system: the panel's edits, then per control its four edits
// and its rows of the layout table (16 required equalities, 24 edits).
struct WindowSystem {
  Solver solver;
  Box panel;
  Box box[5];  // instruction text, home link, Select Folder, Select File, contact link
  double rect[5][4] = {{0, 0, 400, 260}, {15, 260, 80, 40}, {105, 260, 90, 40},
                       {205, 260, 80, 40}, {295, 260, 90, 40}};

  WindowSystem() {
    for (const VariablePtr& v : {panel.left, panel.top, panel.width, panel.height}) {
      solver.addEditVariable(v, 1001000999.0);
    }
    auto eq = [&](const Expression& lhs, const Expression& rhs) {
      solver.addConstraint(newConstraint(lhs - rhs, OP_EQ));
    };
    const Box &text = box[0], &home = box[1], &folder = box[2], &file = box[3],
              &contact = box[4];
    add(text);
    eq(text.l(), panel.l());
    eq(text.r(), panel.r());
    eq(text.t(), panel.t());
    add(home);
    eq(home.l(), panel.l() + 15.0);
    eq(home.t(), text.b());
    eq(home.b(), panel.b());
    add(folder);
    eq(folder.l(), home.r() + 10.0);
    eq(folder.t(), text.b());
    eq(folder.b(), panel.b());
    add(file);
    eq(file.l(), folder.r() + 10.0);
    eq(file.t(), text.b());
    eq(file.b(), panel.b());
    add(contact);
    eq(contact.l(), file.r() + 10.0);
    eq(contact.r(), panel.r() - 15.0);
    eq(contact.t(), text.b());
    eq(contact.b(), panel.b());
  }

  void add(const Box& b) {
    solver.addEditVariable(b.left, 0.01);
    solver.addEditVariable(b.top, 0.01);
    solver.addEditVariable(b.width, 0.1);
    solver.addEditVariable(b.height, 0.1);
  }

  // One size event: suggest the panel and every control's current rectangle,
  // solve, and read the rectangles back.
  void resize(double width, double height) {
    solver.suggestValue(panel.left, 0);
    solver.suggestValue(panel.top, 0);
    solver.suggestValue(panel.width, width);
    solver.suggestValue(panel.height, height);
    for (int i = 0; i < 5; ++i) {
      solver.suggestValue(box[i].left, rect[i][0]);
      solver.suggestValue(box[i].top, rect[i][1]);
      solver.suggestValue(box[i].width, rect[i][2]);
      solver.suggestValue(box[i].height, rect[i][3]);
    }
    solver.updateVariables();
    for (int i = 0; i < 5; ++i) {
      rect[i][0] = box[i].left->value;
      rect[i][1] = box[i].top->value;
      rect[i][2] = box[i].width->value;
      rect[i][3] = box[i].height->value;
    }
  }
};

void BM_WindowResize(benchmark::State& state) {
  WindowSystem w;
  w.resize(400, 300);
  int i = 0;
  for (auto _ : state) {
    // A drag: the panel's size changes a little on every event.
    ++i;
    w.resize(300 + (i * 7) % 300, 200 + (i * 13) % 400);
    benchmark::DoNotOptimize(w.rect[0][3]);
  }
}
BENCHMARK(BM_WindowResize);

void BM_WindowBuild(benchmark::State& state) {
  for (auto _ : state) {
    WindowSystem w;
    w.resize(400, 300);
    benchmark::DoNotOptimize(w.rect[0][3]);
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
