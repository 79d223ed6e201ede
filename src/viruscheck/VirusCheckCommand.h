#pragma once

class CMainFrame;

// "Virus Check": runs the virus checker on every local copy of the file in the first highlighted
// row of the frame's list and tells the user the result. Shows the wait cursor meanwhile.
void OnVirusCheck(CMainFrame* frame);
