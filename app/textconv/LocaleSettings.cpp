// Settings records from Qt's locale data: the fixed TextSettings (Polish
// locale data under the log's own separators and forms) and the process-wide
// settings of the user's locale that the chart's labels use. The only part of
// the text conversions that needs Qt; builds without Qt leave it out.
#include <QLocale>
#include <QString>

#include "app/textconv/TextConv.h"

namespace tempolog {
namespace {

// A locale text as single-byte characters: Latin-1 characters stay; any
// other becomes the Latin-1 letter it is built on ("ń" -> "n", a narrow
// no-break space -> a blank) or, when there is none, is dropped.
std::string LocaleBytes(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar ch : text) {
    const char16_t code = ch.unicode();
    if (code <= 0xFF) {
      out += static_cast<char>(code);
    } else if (code == 0x0141 || code == 0x0142) {  // Polish L with stroke has no decomposition
      out += code == 0x0141 ? 'L' : 'l';
    } else {
      const QString base = QString(ch).normalized(QString::NormalizationForm_KD);
      if (!base.isEmpty() && base[0].unicode() >= 0x20 && base[0].unicode() <= 0xFF)
        out += static_cast<char>(base[0].unicode());
    }
  }
  return out;
}

char LocaleChar(const QString& text, char fallback) {
  const std::string bytes = LocaleBytes(text);
  return bytes.empty() ? fallback : bytes[0];
}

// The first character of a Qt format picture that is not a letter, a quote
// or a blank: the separator the picture uses.
char PictureSeparator(const QString& picture, char fallback) {
  for (const QChar ch : picture) {
    if (ch.isLetter() || ch == u'\'' || ch == u' ') continue;
    const char c = LocaleChar(QString(ch), '\0');
    return c == '\0' || c == ' ' ? fallback : c;
  }
  return fallback;
}

// Placement of the currency text around a positive amount: 0 "$1", 1 "1$",
// 2 "$ 1", 3 "1 $".
std::uint8_t CurrencyPlacement(const QString& amount, const QString& symbol) {
  if (symbol.isEmpty()) return 0;
  const QString text = QString(amount).replace(QChar(0x00A0), u' ').replace(QChar(0x202F), u' ');
  if (text.startsWith(symbol)) return text.mid(symbol.size()).startsWith(u' ') ? 2 : 0;
  const qsizetype at = text.indexOf(symbol);
  return at > 0 && text[at - 1] == u' ' ? 3 : 1;
}

// Placement of sign and currency text around a negative amount, as the
// sixteen classic codes number them; 1 ("-$1") when the locale's form is
// none of them.
std::uint8_t NegativeCurrencyPlacement(const QLocale& locale, const QString& symbol, int decimals) {
  // The placements in the order of their numbers, 0 to 15.
  // clang-format off
  static constexpr const char* kForms[16] = {
      "(SN)", "-SN",  "S-N",  "SN-",  "(NS)",  "-NS",   "N-S",    "NS-",
      "-N S", "-S N", "N S-", "S N-", "S -N",  "N- S",  "(S N)",  "(N S)"};
  // clang-format on
  QString text = locale.toCurrencyString(-1.1);
  text.replace(locale.negativeSign(), QStringLiteral("-"))
      .replace(QChar(0x00A0), u' ')
      .replace(QChar(0x202F), u' ');
  const QString number = locale.toString(1.1, 'f', decimals);
  for (int code = 0; code < 16; ++code) {
    QString form = QString::fromLatin1(kForms[code]);
    form.replace(u'N', u'\x01').replace(u'S', symbol).replace(u'\x01', number);
    if (form == text) return static_cast<std::uint8_t>(code);
  }
  return 1;
}

std::uint8_t CurrencyDecimals(const QLocale& locale) {
  const QString text = locale.toCurrencyString(1.0);
  const qsizetype point = text.lastIndexOf(locale.decimalPoint());
  if (point < 0) return 0;
  std::uint8_t digits = 0;
  for (qsizetype i = point + 1; i < text.size() && text[i].isDigit(); ++i) ++digits;
  return digits;
}

// The time forms in the pattern language: the hour field ("hh" when the
// locale pads hours), then ":mm" or ":mm:ss", with " AMPM" or "AMPM " where a
// twelve-hour locale puts its marker.
void FillTimeForms(const QLocale& locale, TFormatSettings& fs) {
  const QString picture = locale.timeFormat(QLocale::ShortFormat);
  qsizetype hourAt = -1;
  qsizetype markerAt = -1;
  bool padded = false;
  bool quoted = false;
  for (qsizetype i = 0; i < picture.size(); ++i) {
    const QChar ch = picture[i];
    if (ch == u'\'') quoted = !quoted;
    if (quoted) continue;
    if ((ch == u'h' || ch == u'H') && hourAt < 0) {
      hourAt = i;
      padded = i + 1 < picture.size() && picture[i + 1] == ch;
    }
    if ((ch == u'a' || ch == u'A') && markerAt < 0) markerAt = i;
  }
  const std::string hour = padded ? "hh" : "h";
  fs.shortTimeFormat = hour + ":mm";
  fs.longTimeFormat = hour + ":mm:ss";
  if (markerAt >= 0) {
    if (hourAt >= 0 && markerAt < hourAt) {
      fs.shortTimeFormat.insert(0, "AMPM ");
      fs.longTimeFormat.insert(0, "AMPM ");
    } else {
      fs.shortTimeFormat += " AMPM";
      fs.longTimeFormat += " AMPM";
    }
  }
  fs.timeSeparator = PictureSeparator(picture, ':');
}

TFormatSettings FromLocale(const QLocale& locale) {
  TFormatSettings fs;
  const QString symbol = locale.currencySymbol();
  fs.currencyDecimals = CurrencyDecimals(locale);
  fs.currencyFormat = CurrencyPlacement(locale.toCurrencyString(1.0), symbol);
  fs.negCurrFormat = NegativeCurrencyPlacement(locale, symbol, fs.currencyDecimals);
  fs.thousandSeparator = LocaleChar(locale.groupSeparator(), '\0');
  fs.decimalSeparator = LocaleChar(locale.decimalPoint(), '.');
  fs.listSeparator = fs.decimalSeparator == ',' ? ';' : ',';
  fs.currencyString = LocaleBytes(symbol);

  const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
  fs.shortDateFormat = LocaleBytes(shortDate);
  fs.longDateFormat = LocaleBytes(locale.dateFormat(QLocale::LongFormat));
  fs.dateSeparator = PictureSeparator(shortDate, '/');
  FillTimeForms(locale, fs);
  fs.timeAMString = LocaleBytes(locale.amText());
  fs.timePMString = LocaleBytes(locale.pmText());

  for (int m = 1; m <= 12; ++m) {
    fs.shortMonthNames[m - 1] = LocaleBytes(locale.standaloneMonthName(m, QLocale::ShortFormat));
    fs.longMonthNames[m - 1] = LocaleBytes(locale.standaloneMonthName(m, QLocale::LongFormat));
  }
  for (int d = 0; d < 7; ++d) {
    const int qtDay = d == 0 ? 7 : d;  // Qt counts Monday as 1 and Sunday as 7
    fs.shortDayNames[d] = LocaleBytes(locale.standaloneDayName(qtDay, QLocale::ShortFormat));
    fs.longDayNames[d] = LocaleBytes(locale.standaloneDayName(qtDay, QLocale::LongFormat));
  }
  fs.twoDigitYearCenturyWindow = 50;
  return fs;
}

}  // namespace

TFormatSettings LocaleFormatSettings(std::string_view localeName) {
  QLocale locale(QString::fromLatin1(localeName.data(), static_cast<qsizetype>(localeName.size())));
  if (locale.language() == QLocale::C && localeName != "C") locale = QLocale::system();
  return FromLocale(locale);
}

TFormatSettings MakeTextSettings() {
  QLocale locale(QLocale::Polish, QLocale::Poland);
  if (locale.language() != QLocale::Polish) locale = QLocale::system();
  return LogTextForms(FromLocale(locale));
}

TFormatSettings ProcessFormatSettings() {
  static const TFormatSettings settings = FromLocale(QLocale::system());
  return settings;
}

}  // namespace tempolog
