#pragma once

#include "configure/CommandLineOption.h"

#include <cstdint>
#include <string>
#include <vector>

struct FHelpParagraph
{
	std::wstring Text;
	std::vector<std::wstring> Items;
};

// Lays out the configure tool's help text for a console of a given width.
// Paragraphs are printed as they are; option descriptions are wrapped into the
// column right of the synopses.
class FHelpPrinter
{
public:
	FHelpPrinter(std::wstring InProgramName, int32_t InWidth);

	void AddParagraph(FHelpParagraph Paragraph);
	void SetOptionGroups(std::vector<std::vector<FCommandLineOption>> Groups);

	// The text line by line, without line breaks.
	std::vector<std::wstring> BuildLines() const;
	// Writes every line to the console output, each flushed; nothing else.
	void Print() const;

private:
	std::wstring ProgramName;
	int32_t Width;
	std::vector<FHelpParagraph> Paragraphs;
	std::vector<std::vector<FCommandLineOption>> OptionGroups;
};
