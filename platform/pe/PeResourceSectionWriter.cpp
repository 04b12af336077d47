#include "platform/pe/PeResourceSectionWriter.h"

#include "app/Log.h"
#include "platform/pe/PeFormat.h"

#include <algorithm>
#include <array>
#include <string>

using namespace PeFormat;

namespace
{
	// The section's blocks in the order they lie in it. Directory tables go
	// level by level, so that each level's tables sit together as the loader's
	// own tools lay them out.
	enum EBlock : size_t
	{
		TypeTable,
		NameTables,
		LanguageTables,
		NameStrings,
		DataEntries,
		ResourceData,
		BlockCount,
	};

	// Each block starts on this boundary, and so does each resource's data.
	constexpr uint64_t DataAlignment = 8;
	constexpr uint64_t MaximumEntryCount = 0xFFFF;
	constexpr uint64_t MaximumSectionEnd = 0x7FFFFFFF;

	uint64_t AlignUp(uint64_t Value, uint64_t Alignment)
	{
		return (Value + Alignment - 1) / Alignment * Alignment;
	}

	// Where something lies inside its block: all the walk can know, as the
	// blocks before it are still growing. A block's own offset is fixed once,
	// when the walk is over.
	struct FPlace
	{
		EBlock Block = TypeTable;
		uint64_t Offset = 0;
	};

	bool IsNamedEntry(const FPeResourceId& Id) { return Id.IsNamed(); }
	bool IsNamedEntry(uint16_t) { return false; } // languages are numbers only

	// One walk over the tree gives everything its place and writes its bytes
	// into its block, so the size of the section and what is written into it
	// cannot disagree. A field that points into another block is kept as a
	// reference and filled in when the blocks are joined; the resources' data
	// is copied only then, straight from the tree.
	class FResourceSectionWriter
	{
	public:
		explicit FResourceSectionWriter(uint32_t InSectionRva) : SectionRva(InSectionRva) {}

		void Walk(const FPeResourceTree& Resources)
		{
			const FPlace Root = AddTable(TypeTable, Resources);
			uint32_t TypeSlot = 0;
			for (const auto& [Type, Names] : Resources)
			{
				const FPlace NameTable = AddTable(NameTables, Names);
				AddEntry(Root, TypeSlot++, Type, NameTable, HighBit);
				uint32_t NameSlot = 0;
				for (const auto& [Name, Languages] : Names)
				{
					const FPlace LanguageTable = AddTable(LanguageTables, Languages);
					AddEntry(NameTable, NameSlot++, Name, LanguageTable, HighBit);
					uint32_t LanguageSlot = 0;
					for (const auto& [Language, Version] : Languages)
					{
						const FPlace DataEntry = Reserve(DataEntries, ResourceDataEntrySize);
						AddEntry(LanguageTable, LanguageSlot++, FPeResourceId{Language, {}}, DataEntry, 0);
						const FPlace Data = Reserve(ResourceData, Version.Bytes.size(), DataAlignment);
						Copies.push_back({Data, &Version.Bytes});
						References.push_back({At(DataEntry, ResourceDataRvaField), Data, SectionRva});
						WriteUInt32(Blocks[DataEntries].data(), DataEntry.Offset + ResourceDataSizeField,
							static_cast<uint32_t>(Version.Bytes.size()));
						WriteUInt32(Blocks[DataEntries].data(), DataEntry.Offset + ResourceDataCodePageField, Version.CodePage);
					}
				}
			}
		}

		bool TryJoin(const wchar_t* Category, std::vector<uint8_t>& OutSection) const
		{
			std::array<uint64_t, BlockCount> Starts{};
			uint64_t End = 0;
			for (size_t Block = 0; Block < BlockCount; ++Block)
			{
				Starts[Block] = AlignUp(End, DataAlignment);
				End = Starts[Block] + Sizes[Block];
			}
			if (!bFits || End + SectionRva > MaximumSectionEnd)
			{
				Log(ELogLevel::Error, Category, L"Failed because the resources do not fit a resource section");
				return false;
			}
			std::vector<uint8_t> Section(static_cast<size_t>(End), 0);
			const auto Resolve = [&Starts](const FPlace& Place) { return Starts[Place.Block] + Place.Offset; };
			for (size_t Block = 0; Block < BlockCount; ++Block)
			{
				std::copy(Blocks[Block].begin(), Blocks[Block].end(), Section.begin() + static_cast<ptrdiff_t>(Starts[Block]));
			}
			for (const FCopy& Copy : Copies)
			{
				std::copy(Copy.Bytes->begin(), Copy.Bytes->end(), Section.begin() + static_cast<ptrdiff_t>(Resolve(Copy.Where)));
			}
			for (const FReference& Reference : References)
			{
				WriteUInt32(Section.data(), Resolve(Reference.Field), static_cast<uint32_t>(Resolve(Reference.Target)) + Reference.Add);
			}
			OutSection = std::move(Section);
			return true;
		}

	private:
		// A field that holds another place's offset in the section, plus Add:
		// the high bit for a name or a subdirectory, the section's RVA for data.
		struct FReference
		{
			FPlace Field;
			FPlace Target;
			uint32_t Add = 0;
		};
		struct FCopy
		{
			FPlace Where;
			const std::vector<uint8_t>* Bytes = nullptr;
		};

		uint32_t SectionRva;
		std::array<uint64_t, BlockCount> Sizes{};
		// The resource data's block stays empty here: its bytes are the tree's.
		std::array<std::vector<uint8_t>, BlockCount> Blocks;
		std::vector<FReference> References;
		std::vector<FCopy> Copies;
		bool bFits = true;

		static FPlace At(const FPlace& Place, uint64_t Field) { return {Place.Block, Place.Offset + Field}; }

		FPlace Reserve(EBlock Block, uint64_t Size, uint64_t Alignment = 1)
		{
			const FPlace Place{Block, AlignUp(Sizes[Block], Alignment)};
			Sizes[Block] = Place.Offset + Size;
			if (Block != ResourceData)
			{
				Blocks[Block].resize(static_cast<size_t>(Sizes[Block]), 0);
			}
			return Place;
		}

		template <typename TMap>
		FPlace AddTable(EBlock Block, const TMap& Map)
		{
			uint64_t Named = 0;
			for (const auto& Entry : Map)
			{
				Named += IsNamedEntry(Entry.first) ? 1 : 0;
			}
			bFits = bFits && Map.size() <= MaximumEntryCount;
			const FPlace Table = Reserve(Block, ResourceDirectorySize + ResourceEntrySize * static_cast<uint64_t>(Map.size()));
			WriteUInt16(Blocks[Block].data(), Table.Offset + NamedEntryCountField, static_cast<uint16_t>(Named));
			WriteUInt16(Blocks[Block].data(), Table.Offset + IdEntryCountField, static_cast<uint16_t>(Map.size() - Named));
			return Table;
		}

		// Entry Slot of Table: its name (a number, or a string of its own) and
		// where it leads, a subdirectory or a data entry.
		void AddEntry(const FPlace& Table, uint32_t Slot, const FPeResourceId& Id, const FPlace& Target, uint32_t TargetFlag)
		{
			const FPlace Entry = At(Table, ResourceDirectorySize + ResourceEntrySize * static_cast<uint64_t>(Slot));
			References.push_back({At(Entry, ResourceEntryDataField), Target, TargetFlag});
			if (!Id.IsNamed())
			{
				WriteUInt32(Blocks[Entry.Block].data(), Entry.Offset + ResourceEntryNameField, Id.Id);
				return;
			}
			const std::u16string Text = ResourceNameToUtf16(Id.Name);
			bFits = bFits && Text.size() <= MaximumEntryCount;
			const FPlace String = Reserve(NameStrings, ResourceNameTextField + ResourceNameUnitSize * static_cast<uint64_t>(Text.size()));
			References.push_back({At(Entry, ResourceEntryNameField), String, HighBit});
			WriteUInt16(Blocks[NameStrings].data(), String.Offset, static_cast<uint16_t>(Text.size()));
			for (size_t Index = 0; Index < Text.size(); ++Index)
			{
				WriteUInt16(Blocks[NameStrings].data(), String.Offset + ResourceNameTextField + ResourceNameUnitSize * Index,
					static_cast<uint16_t>(Text[Index]));
			}
		}
	};
}

bool TryWriteResourceSection(const FPeResourceTree& Resources, uint32_t SectionRva, const wchar_t* Category,
	std::vector<uint8_t>& OutSection)
{
	FResourceSectionWriter Writer(SectionRva);
	Writer.Walk(Resources);
	return Writer.TryJoin(Category, OutSection);
}
