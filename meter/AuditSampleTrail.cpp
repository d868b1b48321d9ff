#include "AuditSampleTrail.h"

#include "AuditEvent.h"
#include "AuditLine.h"
#include "RecordFile.h"
#include "SampleRecord.h"

#include <fstream>
#include <string>

namespace tirevo {

namespace {

bool WriteWhole(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

bool WriteAuditSampleTrail(const std::filesystem::path& folder, int events)
{
    std::string trail;
    std::string samples = std::string(kSamplesHeader) + "\r\n";
    AuditLine line;
    line.origin = {"lab", "bench-3", "tirevo-cli 1.4.0"};
    line.time = "2026-12-08T10:02:45.125+01:00";
    for (int i = 1; i <= events; ++i) {
        const SampleRow row{line.time, "S-" + std::to_string(i), "7.00", true, "QP000001"};
        samples += RecordFile::RowText(SampleFields(row));
        line.seq = i;
        line.event = SampleEvent(row, kSamplesFileName);
        const AuditLineText text = WriteAuditLine(line);
        trail += text.text + "\n";
        line.prev = text.hash;
    }
    return WriteWhole(folder / kAuditFileName, trail) && WriteWhole(folder / kSamplesFileName, samples);
}

}  // namespace tirevo
