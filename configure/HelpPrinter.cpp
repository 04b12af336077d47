#include "configure/HelpPrinter.h"

#include "app/ConsoleOutput.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace
{
	std::wstring Spaces(size_t Count)
	{
		return std::wstring(Count, L' ');
	}

	// Cut blindly every Width characters: descriptions have no line breaks of
	// their own, and the column stays straight. With no room left at all the
	// description runs on unwrapped rather than a character per line.
	std::vector<std::wstring> CutIntoPieces(const std::wstring& Text, int64_t Width)
	{
		if (Width <= 0 || Text.size() <= static_cast<uint64_t>(Width))
		{
			return {Text};
		}
		const size_t PieceLength = static_cast<size_t>(Width);
		std::vector<std::wstring> Pieces;
		for (size_t Start = 0; Start < Text.size(); Start += PieceLength)
		{
			Pieces.push_back(Text.substr(Start, PieceLength));
		}
		return Pieces;
	}
}

FHelpPrinter::FHelpPrinter(std::wstring InProgramName, int32_t InWidth)
	: ProgramName(std::move(InProgramName))
	, Width(InWidth)
{
}

void FHelpPrinter::AddParagraph(FHelpParagraph Paragraph)
{
	Paragraphs.push_back(std::move(Paragraph));
}

void FHelpPrinter::SetOptionGroups(std::vector<std::vector<FCommandLineOption>> Groups)
{
	OptionGroups = std::move(Groups);
}

std::vector<std::wstring> FHelpPrinter::BuildLines() const
{
	std::vector<std::wstring> Lines;
	for (const FHelpParagraph& Paragraph : Paragraphs)
	{
		Lines.push_back(Paragraph.Text);
		for (const std::wstring& Item : Paragraph.Items)
		{
			Lines.push_back(Spaces(2) + Item);
		}
		Lines.push_back(std::wstring());
	}

	// Within a group every synopsis starts in the column after the program name.
	Lines.push_back(L"Usage:");
	std::vector<const FCommandLineOption*> Options;
	for (const std::vector<FCommandLineOption>& Group : OptionGroups)
	{
		for (size_t Index = 0; Index < Group.size(); ++Index)
		{
			const std::wstring Lead = Index == 0 ? Spaces(2) + ProgramName : Spaces(ProgramName.size() + 2);
			Lines.push_back(Lead + L" " + Group[Index].Syntax);
			Options.push_back(&Group[Index]);
		}
	}

	Lines.push_back(std::wstring());
	Lines.push_back(L"Options:");
	size_t LongestSyntax = 0;
	for (const FCommandLineOption* Option : Options)
	{
		LongestSyntax = std::max(LongestSyntax, Option->Syntax.size());
	}
	// Two columns of gap after the longest synopsis. The description stops one
	// column short of the edge: a line that fills the last column wraps the
	// console's cursor by itself, and the line break after it would then leave
	// an empty line.
	const size_t ColumnWidth = LongestSyntax + 2;
	const int64_t DescriptionWidth = static_cast<int64_t>(Width) - static_cast<int64_t>(ColumnWidth) - 2;
	for (const FCommandLineOption* Option : Options)
	{
		const std::vector<std::wstring> Pieces = CutIntoPieces(Option->Description, DescriptionWidth);
		Lines.push_back(Spaces(2) + Option->Syntax + Spaces(ColumnWidth - Option->Syntax.size() - 1) + Pieces[0]);
		for (size_t Index = 1; Index < Pieces.size(); ++Index)
		{
			Lines.push_back(Spaces(ColumnWidth + 1) + Pieces[Index]);
		}
	}
	return Lines;
}

void FHelpPrinter::Print() const
{
	// No catch: help cut short by a lack of memory is a failed run, which the
	// sequence that prints it reports.
	for (const std::wstring& Line : BuildLines())
	{
		WriteConsoleLine(Line);
	}
}
