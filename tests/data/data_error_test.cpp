// DataError keeps the user's sentence apart from the technical detail.
#include "data/data_error.h"

#include <gtest/gtest.h>

using etb::data::DataError;

TEST(DataError, CarriesMessageDetailAndClass) {
    const DataError error(DataError::Kind::Locked, QStringLiteral("Table verrouillée : é"),
                          QStringLiteral("fcntl: EAGAIN"), "EDBEngineError");
    EXPECT_EQ(error.kind(), DataError::Kind::Locked);
    EXPECT_EQ(error.message(), QStringLiteral("Table verrouillée : é"));
    EXPECT_EQ(error.detail(), QStringLiteral("fcntl: EAGAIN"));
    EXPECT_STREQ(error.className(), "EDBEngineError");
    EXPECT_EQ(QString::fromUtf8(error.what()), error.message());
}
