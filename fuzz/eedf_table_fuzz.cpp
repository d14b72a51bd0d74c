// The EEDF table reader ("eedf.txt" and ".eedfTable" files). A table that
// reads is written back and must read again with as many entries.

#include "FuzzSupport.h"

#include "analysis/EedfTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::inputFile(data, size, "input.eedfTable");
    EedfTable table;
    const QString error = readEedfTable(path, table);
    if (!error.isEmpty()) {
        fuzz::require(table.isEmpty(), "a rejected file leaves the table alone");
        return 0;
    }
    fuzz::require(!table.isEmpty(), "a table that reads has entries");

    const QString copy = path + QStringLiteral(".saved");
    fuzz::require(writeEedfTable(copy, table).isEmpty(), "a table that was read can be written");
    EedfTable reread;
    fuzz::require(readEedfTable(copy, reread).isEmpty(), "a written table reads back");
    fuzz::require(reread.size() == table.size(), "the written table keeps every entry");
    return 0;
}
