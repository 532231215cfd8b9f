#include "page_wire.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quillo::qt {
namespace {

// A number as the page writes it, with its words for the non-finite ones.
double ParseNumber(QStringView text) {
  if (text == u"Infinity") return std::numeric_limits<double>::infinity();
  if (text == u"-Infinity") return -std::numeric_limits<double>::infinity();
  if (text == u"NaN") return std::numeric_limits<double>::quiet_NaN();
  return text.toDouble();
}

}  // namespace

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

QString TextValue(QStringView text) {
  QString json = QStringLiteral("{\"s\":");
  AppendJsonString(json, text);
  return json + QLatin1Char('}');
}

QString NumberValue(double number) {
  // JSON has no words for the non-finite numbers; the page reads the number from text.
  QString json = QStringLiteral("{\"n\":");
  AppendJsonString(json, QString::number(number, 'g', 17)
                             .replace(QLatin1String("inf"), QLatin1String("Infinity"))
                             .replace(QLatin1String("nan"), QLatin1String("NaN")));
  return json + QLatin1Char('}');
}

QString ObjectValue(qint64 id) { return QStringLiteral("{\"o\":%1}").arg(id); }

QString ReleaseEntry(QStringView documentToken, qint64 id) {
  QString entry = QStringLiteral("[");
  AppendJsonString(entry, documentToken);
  return entry + QLatin1Char(',') + QString::number(id) + QLatin1Char(']');
}

QStringView LookTexts::At(qsizetype at) const {
  const qsizetype begin = at == 0 ? 0 : ends[static_cast<size_t>(at - 1)] + 1;
  return QStringView(texts).mid(begin, ends[static_cast<size_t>(at)] - begin);
}

std::optional<QStringView> LookTexts::Other(qsizetype at) const {
  const auto found = std::find_if(others.begin(), others.end(),
                                  [at](const auto& other) { return other.first == at; });
  if (found == others.end()) return std::nullopt;
  return QStringView(found->second);
}

LookTexts ReadLook(const QString& joined) {
  LookTexts look;
  if (joined.isEmpty()) return look;
  if (!joined.contains(QChar(2))) {
    look.texts = joined;
    for (qsizetype i = 0; i < look.texts.size(); ++i) {
      if (look.texts[i].unicode() == 1) look.ends.push_back(i);
    }
    look.ends.push_back(look.texts.size());
    return look;
  }
  bool other = false;
  qsizetype begin = 0;
  const auto finish = [&] {
    if (other) look.others.emplace_back(std::ssize(look.ends), look.texts.mid(begin));
    look.ends.push_back(look.texts.size());
    look.texts += QChar(1);
    begin = look.texts.size();
    other = false;
  };
  for (qsizetype i = 0; i < joined.size(); ++i) {
    const char16_t c = joined[i].unicode();
    const char16_t next = i + 1 < joined.size() ? joined[i + 1].unicode() : 0;
    if (c == 2 && next == 4 && !other) {
      other = true;
      ++i;
    } else if (c == 2 && (next == 2 || next == 3)) {
      look.texts += QChar(next == 3 ? 1 : 2);
      ++i;
    } else if (c == 1) {
      finish();
    } else {
      look.texts += QChar(c);
    }
  }
  finish();
  return look;
}

PageAnswer ReadAnswer(const QVariant& reply) {
  if (reply.typeId() == QMetaType::QVariantList) {
    const QVariantList list = reply.toList();
    if (list.size() < 3 || list[0].toString() != QLatin1String("l")) return Rejected{};
    return LookAnswer{list[1].toString().mid(1).toLongLong(),
                      list[2].toString().mid(1).toLongLong(), ReadLook(list.value(3).toString())};
  }
  const QString answer = reply.toString();
  if (answer.isEmpty()) return Rejected{};
  const QStringView rest = QStringView(answer).mid(1);
  switch (answer.front().unicode()) {
    case 'u':
      return Nothing{};
    case 's':
      return rest.toString();
    case 'n':
      return ParseNumber(rest);
    case 'o':
      return ObjectId{rest.toLongLong()};
    default:  // 'e': the page rejected the call
      return Rejected{};
  }
}

std::optional<std::pair<qint64, QVariant>> ReadPick(const QVariant& reply) {
  const QVariantList picked = reply.toList();
  if (reply.typeId() != QMetaType::QVariantList || picked.size() != 3 ||
      picked[0].toString() != QLatin1String("p")) {
    return std::nullopt;
  }
  return std::pair(picked[1].toLongLong(), picked[2]);
}

}  // namespace quillo::qt
