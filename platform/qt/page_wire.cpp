#include "page_wire.h"

#include <limits>
#include <utility>

namespace quillo::qt {

QString ToQString(std::string_view text) {
  const std::u16string utf16 = TextToUtf16(text);
  return QString(reinterpret_cast<const QChar*>(utf16.data()),
                 static_cast<qsizetype>(utf16.size()));
}

Text FromQString(QStringView string) {
  return TextFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(string.utf16()),
                                           static_cast<size_t>(string.size())));
}

void AppendJsonString(QString& out, QStringView text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += QLatin1Char('"');
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == '"' || u == '\\') {
      out += QLatin1Char('\\');
      out += c;
    } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || (u >= 0xD800 && u <= 0xDFFF)) {
      // Control characters, the two line separators and every surrogate half go as escapes,
      // so that the script text stays valid whatever pairs they form.
      out += QLatin1String("\\u");
      for (int shift = 12; shift >= 0; shift -= 4) out += QLatin1Char(kHex[(u >> shift) & 0xF]);
    } else {
      out += c;
    }
  }
  out += QLatin1Char('"');
}

Request::Request(QLatin1StringView op) {
  text_ = QStringLiteral("{\"op\":\"");
  text_ += op;
  text_ += QLatin1Char('"');
}

Request& Request::Text(QLatin1StringView key, QStringView value) {
  Key(key);
  AppendJsonString(text_, value);
  return *this;
}

Request& Request::Number(QLatin1StringView key, qint64 value) {
  Key(key);
  text_ += QString::number(value);
  return *this;
}

Request& Request::Json(QLatin1StringView key, QStringView json) {
  Key(key);
  text_ += json;
  return *this;
}

QString Request::Finish(QStringView releases) && {
  if (!releases.isEmpty()) {
    Key(QLatin1StringView("release"));
    text_ += QLatin1Char('[');
    text_ += releases;
    text_ += QLatin1Char(']');
  }
  text_ += QLatin1Char('}');
  return std::move(text_);
}

void Request::Key(QLatin1StringView key) {
  text_ += QLatin1String(",\"");
  text_ += key;
  text_ += QLatin1String("\":");
}

double ParseNumber(QStringView text) {
  if (text == u"Infinity") return std::numeric_limits<double>::infinity();
  if (text == u"-Infinity") return -std::numeric_limits<double>::infinity();
  if (text == u"NaN") return std::numeric_limits<double>::quiet_NaN();
  return text.toDouble();
}

}  // namespace quillo::qt
