#include "app/job_plan.h"

namespace kirvo {

bool JobPlan::Of(const Job& job, JobPlan& plan, std::string& error) {
    JobPlan made;
    made.name = job.name;
    made.source = job.SourceRoot().location();
    made.target = job.TargetRoot().location();
    made.mode = job.mode;
    made.sides = {job.direction != Job::Direction::ToTarget, job.direction != Job::Direction::ToSource};
    if (!job.maxDelete.empty()) {
        made.limit = DeleteLimit::Parse(job.maxDelete, &error);
        if (!made.limit) return false;
    }
    made.job = job;
    plan = std::move(made);
    return true;
}

}  // namespace kirvo
