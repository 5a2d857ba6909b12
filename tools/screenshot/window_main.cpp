// Shows the main window recording from a thermometer for a while and saves a
// picture of it as a PNG, for the README: the port is chosen, Run pressed, and
// the window left to record at one reading a second as the operator's would.
// Usage: tempolog-window-screenshot PORT SECONDS FILE.png
// (scripts/screenshot-window runs it against the simulated thermometer.)
#include <QComboBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Unit1.h"
#include "framework/Application.h"
#include "framework/Latin1.h"
#include "framework/Widgets.h"

int main(int argc, char** argv) {
  using namespace tempolog;
  if (argc != 4) {
    std::fprintf(stderr, "Usage: tempolog-window-screenshot PORT SECONDS FILE.png\n");
    return 2;
  }
  const std::string port = argv[1];
  const int seconds = std::atoi(argv[2]);
  const QString path = QString::fromLocal8Bit(argv[3]);
  TApplication application(argc, argv);
  SetApplicationTitle("tempolog");
  TForm1 form;
  form.show();
  form.ComCBoxEnter();
  const int index = form.ComCBox->findText(ToScreen(port));
  if (index < 0) {
    std::fprintf(stderr, "no port %s in the list\n", port.c_str());
    return 1;
  }
  form.ComCBox->setCurrentIndex(index);
  emit form.ComCBox->activated(index);
  if (form.lbCom->Text() != "online") {
    std::fprintf(stderr, "the instrument on %s does not answer\n", port.c_str());
    return 1;
  }
  form.sbRejestruj->click();
  int status = 0;
  QTimer::singleShot(seconds * 1000, &form, [&] {
    if (!form.grab().save(path, "PNG")) {
      std::fprintf(stderr, "Cannot write %s\n", argv[3]);
      status = 1;
    }
    // A picture, not a recording to keep: no backup on close.
    form.sbRejestruj->click();
    form.Unsaved = 0;
    form.close();
  });
  application.Run();
  if (status == 0) std::printf("%s\n", argv[3]);
  return status;
}
