#pragma once
// A window with the fake driver registered and the error box replaced by a
// recorder of what it would have shown.
#include <QString>
#include <memory>
#include <vector>

#include "tests/fixtures/fake_tarvik.h"
#include "ui/error_box.h"
#include "ui/tform1.h"

namespace uitest {

struct Shown {
  QString caption;
  QString text;
};

class FormFixture {
 public:
  FormFixture() {
    ui::setApplicationTitle("Vark");
    ui::setErrorPresenter([this](const QString& caption, const QString& text) {
      shown.push_back({caption, text});
    });
    form = std::make_unique<TForm1>();
  }
  ~FormFixture() {
    form.reset();
    ui::setErrorPresenter({});
  }

  // Connects with the default texts and forgets the connect's calls.
  void connect() {
    form->spoj->click();
    driver.journal().calls.clear();
  }
  std::vector<std::string> operations() const {
    std::vector<std::string> names;
    for (const faketest::Call& call : driver.journal().calls) names.push_back(call.operation);
    return names;
  }

  faketest::FakeDriverRegistration driver;
  std::vector<Shown> shown;
  std::unique_ptr<TForm1> form;
};

}  // namespace uitest
