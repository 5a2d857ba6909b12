// The tempolog program: records a thermometer on a serial port.
#include <memory>

#include "app/Unit1.h"
#include "framework/Application.h"

int main(int argc, char** argv) {
  tempolog::TApplication application(argc, argv);
  tempolog::SetApplicationTitle("tempolog");
  std::unique_ptr<tempolog::TForm1> form;
  const bool created = tempolog::Guard([&] {
    form = std::make_unique<tempolog::TForm1>();
    tempolog::Form1 = form.get();
    form->show();
  });
  if (!created) return 1;
  const int code = application.Run();
  tempolog::Form1 = nullptr;
  return code;
}
