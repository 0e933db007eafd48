#pragma once
// Tolerated failures (content that will not load, a track that will not
// open) said on stderr as one tagged line, "ORBA: <tag>: <text>". The same
// line is said once only: a failure met every frame does not flood the
// terminal. Main thread only.

void ReportFailure(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Every line may be said again (a fresh start: tests).
void ForgetReports();

// The last part of a path written with '\' or '/'.
const char* FileNameOf(const char* path);
