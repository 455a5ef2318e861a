// The main window's layout system on its own (a panel and five controls in a
// bottom row under the instruction text), for the solver's tests and benchmark.
#ifndef TABULON_TESTS_WINDOWSYSTEM_H_
#define TABULON_TESTS_WINDOWSYSTEM_H_

#include "layout/solver.h"

namespace testutil {

struct Box {
  tabulon::VariablePtr left = tabulon::newVariable(), top = tabulon::newVariable(),
                       width = tabulon::newVariable(), height = tabulon::newVariable();
  tabulon::Expression l() const { return tabulon::Expression(left); }
  tabulon::Expression t() const { return tabulon::Expression(top); }
  tabulon::Expression r() const { return tabulon::Expression(left, 1.0, width, 1.0); }
  tabulon::Expression b() const { return tabulon::Expression(top, 1.0, height, 1.0); }
};

struct Rect {
  double left, top, width, height;
};

// The panel's four edits, then per control its four edits and its rows of the
// layout table: 16 required equalities and 24 edit variables.
class WindowSystem {
 public:
  enum { kText, kHome, kFolder, kFile, kContact };

  WindowSystem() {
    using tabulon::Expression;
    for (const tabulon::VariablePtr& v : {panel.left, panel.top, panel.width, panel.height}) {
      solver.addEditVariable(v, 1001000999.0);
    }
    auto eq = [&](const Expression& lhs, const Expression& rhs) {
      solver.addConstraint(tabulon::newConstraint(lhs - rhs, tabulon::OP_EQ));
    };
    const Box &text = box[kText], &home = box[kHome], &folder = box[kFolder],
              &file = box[kFile], &contact = box[kContact];
    registerControl(text);
    eq(text.l(), panel.l());
    eq(text.r(), panel.r());
    eq(text.t(), panel.t());
    registerControl(home);
    eq(home.l(), panel.l() + 15.0);
    eq(home.t(), text.b());
    eq(home.b(), panel.b());
    registerControl(folder);
    eq(folder.l(), home.r() + 10.0);
    eq(folder.t(), text.b());
    eq(folder.b(), panel.b());
    registerControl(file);
    eq(file.l(), folder.r() + 10.0);
    eq(file.t(), text.b());
    eq(file.b(), panel.b());
    registerControl(contact);
    eq(contact.l(), file.r() + 10.0);
    eq(contact.r(), panel.r() - 15.0);
    eq(contact.t(), text.b());
    eq(contact.b(), panel.b());
  }

  // One size event: suggest the panel's size and every control's current
  // rectangle, solve, and read the rectangles back into current.
  void layout(double width, double height) {
    suggest(panel, Rect{0, 0, width, height});
    for (int i = 0; i < 5; ++i) suggest(box[i], current[i]);
    solver.updateVariables();
    for (int i = 0; i < 5; ++i) {
      current[i] = Rect{box[i].left->value, box[i].top->value, box[i].width->value,
                        box[i].height->value};
    }
  }

  tabulon::Solver solver;
  Box panel;
  Box box[5];
  Rect current[5] = {{0, 0, 400, 260}, {15, 260, 80, 40}, {105, 260, 90, 40},
                     {205, 260, 80, 40}, {295, 260, 90, 40}};

 private:
  void registerControl(const Box& b) {
    for (const tabulon::VariablePtr& v : {b.left, b.top}) {
      if (!solver.hasEditVariable(v)) solver.addEditVariable(v, 0.01);
    }
    for (const tabulon::VariablePtr& v : {b.width, b.height}) {
      if (!solver.hasEditVariable(v)) solver.addEditVariable(v, 0.1);
    }
  }

  void suggest(const Box& b, const Rect& r) {
    solver.suggestValue(b.left, r.left);
    solver.suggestValue(b.top, r.top);
    solver.suggestValue(b.width, r.width);
    solver.suggestValue(b.height, r.height);
  }
};

}  // namespace testutil

#endif  // TABULON_TESTS_WINDOWSYSTEM_H_
