#include "paradb/data_file.h"

namespace korvane {

CDataFile::CDataFile() = default;
CDataFile::~CDataFile() = default;

}  // namespace korvane
