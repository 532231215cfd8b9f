// The page bridge's wire format, both ways; the page side is page_bridge.js. QtCore only.
//
// A request is a JSON object, which the page side reads as data, never as script:
//   op       "document", "count", "get", "put", "call", "event" or "pick"
//   token    the document's, as the "document" request answered it
//   id       the object's id; or list and index: an element of a look, picked with the call
//   name     the member
//   value    for "put", and args, a list, for "call": each {"s": text}, {"n": number, as
//            text, with Infinity, -Infinity and NaN}, {"o": id} or {} for nothing
//   release  [token, id] entries whose last handle the program gave up
// An answer is a text whose first letter says what follows: u (nothing), s (a text), n (a
// number), o (an object's id), d (the document's token) or e (rejected). Two answers are
// lists: a look at a collection, ["l", "o<collection>", "o<list>", texts], and a pick,
// ["p", id, answer].
#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "text.h"

namespace quillo::qt {

QString ToQString(std::string_view text);
Text FromQString(QStringView string);

// Appends a text as a JSON string: the page reads it as data, whatever it holds. Written by
// hand: QJsonDocument made a by-name call measurably slower (see the README).
void AppendJsonString(QString& out, QStringView text);

// A request, written as a JSON object.
class Request {
 public:
  explicit Request(QLatin1StringView op);
  Request& Text(QLatin1StringView key, QStringView value);
  Request& Number(QLatin1StringView key, qint64 value);
  // A value that is JSON already.
  Request& Json(QLatin1StringView key, QStringView json);
  // The finished text, with the releases ([token,id] entries, comma-separated), if any.
  QString Finish(QStringView releases) &&;

 private:
  void Key(QLatin1StringView key);
  QString text_;
};

// A value of a request: {"s":text}, {"n":number}, {"o":id} or {} for nothing.
QString TextValue(QStringView text);
QString NumberValue(double number);
QString ObjectValue(qint64 id);
inline QString NothingValue() { return QStringLiteral("{}"); }
// A release entry.
QString ReleaseEntry(QStringView documentToken, qint64 id);

// What a look saw: for each element, the texts that reading its type, name, id and title
// gave, and the answers of the reads that gave no text.
struct LookTexts {
  QString texts;                // the texts, each but the last followed by \u0001
  std::vector<qsizetype> ends;  // where each text ends
  std::vector<std::pair<qsizetype, QString>> others;  // (text's place, the read's answer)
  QStringView At(qsizetype at) const;
  // The answer of the read at this place that gave no text, or nothing.
  std::optional<QStringView> Other(qsizetype at) const;
};
// The texts are joined by \u0001; inside them \u0002\u0002 stands for \u0002 and \u0002\u0003
// for \u0001. A read that gave no text is \u0002\u0004 and its answer.
LookTexts ReadLook(const QString& joined);

// An answer taken apart.
struct Nothing {};
struct ObjectId {
  qint64 id;
};
struct LookAnswer {
  qint64 collection;
  qint64 list;
  LookTexts texts;
};
struct Rejected {};
using PageAnswer = std::variant<Nothing, QString, double, ObjectId, LookAnswer, Rejected>;
// A plain answer (not a pick); Rejected for anything it cannot read.
PageAnswer ReadAnswer(const QVariant& reply);
// A pick's answer: the element's id and the answer of the request made of it; nothing when
// the element is gone.
std::optional<std::pair<qint64, QVariant>> ReadPick(const QVariant& reply);

}  // namespace quillo::qt
