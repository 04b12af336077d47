#include "analytics/AnalyticsAttribute.h"

#include "app/Log.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

bool FAnalyticsAttribute::ToJson(const std::vector<FAnalyticsAttribute>& Attributes, std::string& OutJson)
{
	if (Attributes.empty())
	{
		return false;
	}

	rapidjson::Document Document;
	Document.SetObject();
	rapidjson::Document::AllocatorType& Allocator = Document.GetAllocator();
	for (const FAnalyticsAttribute& Attribute : Attributes)
	{
		rapidjson::Value Value;
		switch (Attribute.Type)
		{
		case EAttributeType::String:
			// Sized, so an embedded NUL stays part of the value.
			Value.SetString(Attribute.StringValue.data(),
				static_cast<rapidjson::SizeType>(Attribute.StringValue.size()), Allocator);
			break;
		case EAttributeType::Double:
			Value.SetDouble(Attribute.DoubleValue);
			break;
		case EAttributeType::Int64:
			Value.SetInt64(Attribute.Int64Value);
			break;
		case EAttributeType::UInt64:
			Value.SetUint64(Attribute.UInt64Value);
			break;
		case EAttributeType::Bool:
			Value.SetBool(Attribute.BoolValue);
			break;
		default:
			Log(ELogLevel::Error, L"FAnalyticsAttribute::ToJson",
				L"FAnalyticsAttribute::ToJson: Unhandled Attribute type %d", static_cast<int32_t>(Attribute.Type));
			continue;
		}
		// Names are string literals, so the document may point at them; AddMember
		// never merges, a repeated name is a second member.
		rapidjson::Value Key(rapidjson::StringRef(Attribute.Name != nullptr ? Attribute.Name : ""));
		Document.AddMember(Key, Value, Allocator);
	}

	// The writer refuses NaN and infinities (no JSON form), which fails Accept.
	rapidjson::StringBuffer Buffer;
	rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
	if (!Document.Accept(Writer))
	{
		return false;
	}
	OutJson.assign(Buffer.GetString(), Buffer.GetSize());
	return true;
}
