#pragma once

// The progress line on stderr: "Reading 3/14", rewritten in place with a
// carriage return. Shown only when stderr is a terminal, so logs and pipes
// get nothing but the final messages.

#include <QString>

class ProgressLine
{
  public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "<label> <done>/<total>"; called on the thread doing the work.
    void show(const QString& label, int done, int total);
    // Erases the line, so a message printed next starts on a clean line.
    void clear();

  private:
    bool m_enabled;
    bool m_shown = false;
};
