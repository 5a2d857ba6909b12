// The log's fixed text forms over a settings record.
#include "app/textconv/TextConv.h"

namespace tempolog {

TFormatSettings LogTextForms(TFormatSettings fs) {
  fs.decimalSeparator = '.';
  fs.dateSeparator = '-';
  fs.timeSeparator = ':';
  fs.shortDateFormat = "yyyy-mm-dd";
  fs.shortTimeFormat = "hh:nn:ss";
  fs.longTimeFormat = "hh:nn:ss";
  fs.twoDigitYearCenturyWindow = 50;
  return fs;
}

}  // namespace tempolog
