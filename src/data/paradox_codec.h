// Field values of a Paradox record: stored sizes of the field types, and the decoding and
// encoding of one value between record bytes and QVariant.
#pragma once

#include "data/paradox_codepage.h"
#include "data/paradox_format.h"
#include "data/paradox_table.h"

#include <QVariant>

namespace etb::data::px {

// Bytes a field of this type takes in a record, or -1 when the type code or its size byte
// is not one a table can hold.
int storedSize(ParadoxType type, int sizeByte);

bool isBlob(ParadoxType type);

// Name of the type for messages ("Alpha", "Number", ...).
QString typeName(ParadoxType type);

// Decodes the value stored at off (storedSize bytes) of record. Blank gives an invalid
// QVariant. Blob fields read as blank.
QVariant decodeValue(const ParadoxField& field, Bytes record, std::size_t off,
                     const ParadoxCodePage& codePage);

// Writes the encoding of value at off. An invalid or null QVariant writes a blank.
// Throws DataError (Convert) naming tablePath and the field, and writes nothing, when the
// value has the wrong type, does not fit, or holds a character the code page lacks.
void encodeValue(const ParadoxField& field, const QVariant& value, MutableBytes record,
                 std::size_t off, const ParadoxCodePage& codePage, const QString& tablePath);

}  // namespace etb::data::px
