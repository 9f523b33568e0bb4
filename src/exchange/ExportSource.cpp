#include "exchange/ExportSource.h"

#include "config/Configuration.h"
#include "survey/GridSurvey.h"
#include "survey/Survey.h"
#include "survey/TrackSurvey.h"

namespace orv {

bool ExportSource::IsTrack() const { return workType == work_type::kGpsTrack; }

ExportSource SourceOf(const Survey& survey)
{
    ExportSource source;
    source.workType = survey.WorkType();
    const Configuration& config = survey.Config();
    source.texts = {config.SessionText1, config.SessionText2, config.SessionText3};
    source.filePath = survey.FilePath();
    source.meta = survey.StationMetas();
    if (survey.IsTrack()) {
        const auto& track = static_cast<const TrackSurvey&>(survey);
        source.slots = track.Data().slots;
        source.positions = track.Positions().View();
    } else {
        const GridSurveyData data = static_cast<const GridSurvey&>(survey).Data();
        source.slots = data.slots;
        source.stations = data.stations;
        source.profiles = data.profiles;
        source.xStep = data.xStep;
        source.yStep = data.yStep;
    }
    return source;
}

}  // namespace orv
