#pragma once

class CommandHost;

// "Virus Check": runs the virus checker on every local copy of the file in the first highlighted
// row of the list and tells the user the result. Shows the wait cursor meanwhile.
void RunVirusCheckCommand(CommandHost& host);
