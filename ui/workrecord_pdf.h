// The technician's work record as a PDF, made with Qt's own PDF writer: the converter, its
// settings as found and as left side by side in engineering units, the calibration measurements,
// and lines for the technician's name and signature.
#pragma once

#include "signal/work_record.h"

#include <QByteArray>
#include <QString>

namespace kvt::ui {

// The record as HTML for a text document (what the PDF shows), in Czech or English.
QString WorkRecordHtml(const TWorkRecord& Record, int Lang);

// The PDF file's bytes: an A4 page, or more for a long list of measurements.
QByteArray WorkRecordPdf(const TWorkRecord& Record, int Lang);

} // namespace kvt::ui
