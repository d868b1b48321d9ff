#include "AuditWriter.h"

#include "AuditOrigin.h"

namespace tirevo {

AuditWriter::AuditWriter(std::string folder, bool createFolder, std::string program, Say say,
                         AuditTrail::Clock now)
    : folder_(std::move(folder)),
      createFolder_(createFolder),
      program_(std::move(program)),
      say_(std::move(say)),
      now_(std::move(now))
{
}

bool AuditWriter::Append(const AuditEvent& event)
{
    if (!trail_)
        trail_.emplace(folder_, CurrentAuditOrigin(program_), createFolder_, now_);
    const AuditWrite write = trail_->Append(event);
    if (write.Ok())
        return true;
    // Once: a folder that cannot take the trail would otherwise say so at
    // every alarm and every lost meter of a long run.
    if (!said_ && say_)
        say_(trail_->ErrorText(write));
    said_ = true;
    return false;
}

std::string AuditWriter::Path() const
{
    return trail_ ? trail_->Path() : AuditTrail(folder_, AuditOrigin{}, false).Path();
}

}  // namespace tirevo
