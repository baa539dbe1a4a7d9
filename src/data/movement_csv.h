// Movement CSV files: the header line Chp,Art,Type,Montant, then one movement a line,
// amounts written with a full stop and no thousands separators, fields optionally quoted
// with double quotes ("" inside a quoted field is one quote).
#pragma once

#include "data/paradox_table.h"

#include <QString>
#include <vector>

namespace etb::data {

// Parses and checks every line of a movement CSV text (already decoded; "\n" or "\r\n"
// line ends) against the table's Chp, Art, Type and Montant fields, without writing
// anything. Returns one row change per movement, other fields of the table left blank.
// Throws DataError: NotFound when the table lacks one of the four fields; Convert with
// "<fileName>, ligne N : <reason>. Rien n'a été importé." for the first bad line, or the
// missing-header message for a file with no header.
std::vector<ParadoxRowChange> readMovementCsv(const QString& text, const QString& fileName,
                                              const ParadoxTable& table);

// The table's Chp, Art, Type, Montant field indexes; throws DataError (NotFound).
std::vector<int> movementCsvColumns(const ParadoxTable& table);

// The CSV header line, without its line end.
QString movementCsvHeader();

}  // namespace etb::data
