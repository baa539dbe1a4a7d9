// TDataSource: the link between a data set and the controls that show it.
#pragma once

namespace etb::data {

class TDataSet;

struct TDataSource {
    TDataSet* dataSet = nullptr;
};

}  // namespace etb::data
