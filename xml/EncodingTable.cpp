#include "xml/EncodingTable.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::size_t kLengthDigits = 2;
constexpr std::size_t kCodePageDigits = 5;
constexpr std::size_t kEntryHeader = kLengthDigits + kCodePageDigits;

// Character-set names as the IANA registry and common software spell them, lower case. Built
// from a list of (code page, names) pairs; every entry sits in the bucket its name sums to.
constexpr std::array<std::u16string_view, CEncodingTable::kBucketCount> kBuckets = {
    u"0800949ksc_56010701148cp011481620127iso_646.irv:19830620423ibm423",
    u"0600037ibm0370701149cp011491610029maccentraleurope0920108ns_4551-10620280ibm2800620424ibm4241565000x-unicode20utf7",
    u"0228591l11565001x-unicode20utf8",
    u"0620273ibm2730228592l2",
    u"0600850ibm8500228593l3",
    u"0600437ibm4370600860ibm8600701201ucs-2be0620284ibm2840620905ibm9050228594l4",
    u"0600852ibm8520600861ibm8610600870ibm8700620285ibm2850228599l50950221x-cp502211354936windows-54936",
    u"0700858cp008580600862ibm8620712001ucs-4be0620127ibm3670920261x-cp202610620277ibm2770620871ibm8710620880ibm8800950222x-cp50222",
    u"0600737ibm7370600863ibm8630500869cp-gr0500936x-gbk0620278ibm2780228603l7",
    u"0600855ibm8550600864ibm8640620297ibm2970628591ibm819",
    u"0600775ibm7750600865ibm8650300949uhc1028591iso-ir-1000228605l9",
    u"0600857ibm8570500861cp-is0600866ibm8660600875ibm8751028592iso-ir-1011028594iso-ir-110",
    u"0950227x-cp50227",
    u"1020261iso-ir-1030320866koi",
    u"1200037ebcdic-cp-ca0600869ibm8691000950big5-hkscs1220106x-ia5-german",
    u"0701200ucs-2le0920269x-cp20269",
    u"0800708asmo-7080612000utf-321020269iso-ir-1420920936x-cp209360951932x-cp519321765000unicode-1-1-utf-7",
    u"1200500ebcdic-cp-be0712000ucs-4le0520932x-euc0628598hebrew1765001unicode-1-1-utf-81765001unicode-2-0-utf-8",
    u"0601200utf-161028595iso-ir-1441028597iso-ir-1261128603iso_8859-130728605latin-9",
    u"1501200iso-10646-ucs-21220285ebcdic-cp-gb1028593iso-ir-1091028596iso-ir-127",
    u"0600949korean1128605iso_8859-15",
    u"1200500ebcdic-cp-ch1512000iso-10646-ucs-41028598iso-ir-138",
    u"1028599iso-ir-148",
    u"1000949iso-ir-1490820127us-ascii1220424ebcdic-cp-he",
    u"",
    u"1000936gb_2312-801220277ebcdic-cp-dk1220278ebcdic-cp-fi",
    u"",
    u"1210017macukrainian0320105irv0928591iso8859-1",
    u"1000932x-ms-cp9320520866koi8r0928592iso8859-2",
    u"",
    u"",
    u"",
    u"",
    u"0900932shift_jis",
    u"1500870ebcdic-cp-roece1220278ebcdic-cp-se1220284ebcdic-cp-es1220297ebcdic-cp-fr",
    u"1220423ebcdic-cp-gr0721866koi8-ru",
    u"1200037ebcdic-cp-nl0910000macintosh",
    u"",
    u"1220871ebcdic-cp-is",
    u"1220277ebcdic-cp-no1220280ebcdic-cp-it",
    u"1520108x-ia5-norwegian0628598visual",
    u"",
    u"",
    u"",
    u"1801201unicodebigunmarked1510079x-mac-icelandic",
    u"0920106din_660031128591csisolatin1",
    u"1710029mac-centraleurope0220106de",
    u"1400949ks_c_5601-19870721025ibm1025",
    u"0701026ibm10261220905ebcdic-cp-tr",
    u"1400949ks_c_5601-19890400950big5",
    u"1200037ebcdic-cp-us0500500cp500",
    u"0701047ibm10470501361johab0520420cp420",
    u"1100950windows-9500220107fi",
    u"1200037ebcdic-cp-wt1150227iso-2022-cn",
    u"0520423cp423",
    u"0500037cp0370520280cp2800520424cp424",
    u"1200870ebcdic-cp-yu1100936windows-9360520127ascii",
    u"1100874windows-8740520273cp273",
    u"0500850cp850",
    u"0500437cp4370500860cp8600500932cp9320500950cp9500520284cp2840520905cp905",
    u"0500852cp8520500861cp8610500870cp8700700949ksc56011100949windows-9490812001utf-32be0520285cp285",
    u"0500862cp8620220107se0520127cp3670520871cp8710520880cp8800528597greek",
    u"0500737cp7370500863cp8630801201utf-16be0520278cp2781150220iso-2022-jp",
    u"0500855cp8550500864cp8640500936cp9360520297cp2974520932extended_unix_code_packed_format_for_japanese0528591cp819",
    u"0500775cp7750500865cp865",
    u"0500857cp8570500866cp8660500875cp8751101201unicodefffe0920261t.61-8bit1150225iso-2022-kr",
    u"0700862dos-8620220108no",
    u"0500949cp949",
    u"0500869cp8690700874tis-620",
    u"0700874dos-8740800932ms_kanji0800950x-x-big50420866koi8",
    u"0812000utf-32le0820105iso-ir-20520932eucjp",
    u"",
    u"0801200utf-16le1028591iso-8859-1",
    u"0620866koi8-r1028592iso-8859-2",
    u"0820127iso-ir-61028593iso-8859-30828597elot_9281238598iso-8859-8-i",
    u"1028594iso-8859-4",
    u"0500936ms9360701252ms-ansi0621866koi8-u1028595iso-8859-5",
    u"2400858pc-multilingual-850+euro0220127us1028596iso-8859-6",
    u"1320420ebcdic-cp-ar11028597iso-8859-7",
    u"1110007maccyrillic1028598iso-8859-8",
    u"1028599iso-8859-9",
    u"0465001utf8",
    u"2101200unicodelittleunmarked1510017x-mac-ukrainian",
    u"",
    u"0828595cyrillic",
    u"",
    u"",
    u"1528591iso_8859-1:1987",
    u"1528592iso_8859-2:1987",
    u"",
    u"1528593iso_8859-3:1988",
    u"0600936gb23121528594iso_8859-4:1988",
    u"1528595iso_8859-5:19881528596iso_8859-6:1987",
    u"0801140ibm011401528597iso_8859-7:1987",
    u"0801141ibm011411201250windows-1250",
    u"0900949ks_c_56010801142ibm011421201251windows-12510810029x-mac-ce1528598iso_8859-8:1988",
    u"0801143ibm011431201252windows-1252",
    u"0801144ibm011441201253windows-12531528599iso_8859-9:1989",
    u"0801145ibm011451201254windows-1254",
    u"0801047ibm010470801146ibm011461201255windows-1255",
    u"1100932windows-31j0801147ibm011471201256windows-1256",
    u"0801148ibm011480601250cp12501201257windows-12570621025cp1025",
    u"0601026cp10260801149ibm011490601251cp12511201258windows-1258",
    u"0601252cp1252",
    u"0601253cp12530601361cp1361",
    u"0601047cp10470601254cp12540610079mac-is3321025x-ebcdic-cyrillicserbianbulgarian",
    u"0601255cp12550651936euc-cn",
    u"0601256cp1256",
    u"0800858ibm008580601257cp1257",
    u"0601258cp12580610017mac-uk",
    u"0520105x-ia50420261t.61",
    u"0801250x-cp12501520880ebcdic-cyrillic0738598logical",
    u"0801251x-cp1251",
    u"",
    u"1410001x-mac-japanese",
    u"0700936chinese0620932euc-jp",
    u"0501200ucs-20851936x-euc-cn",
    u"0920106iso646-de0920107iso-ir-100628597greek8",
    u"0512000ucs-40651949euc-kr",
    u"0920106iso-ir-21",
    u"0628591latin1",
    u"1100874iso-8859-110628592latin2",
    u"0920108iso-ir-601420127ansi_x3.4-19681420127ansi_x3.4-19861028591iso_8859-10628593latin3",
    u"0701200unicode0920107iso646-fi1028592iso_8859-20628594latin41128603iso-8859-13",
    u"1210007mac-cyrillic1028593iso_8859-30628599latin51238598iso_8859-8-i",
    u"0820932x-euc-jp1028594iso_8859-41128605iso-8859-151550229iso-2022-cn-ext0565000utf-7",
    u"1110000x-mac-roman1028595iso_8859-50628603latin70565001utf-8",
    u"0601252x-ansi1710002x-mac-chinesetrad1028596iso_8859-6",
    u"1028597iso_8859-70628605latin90851949x-euc-kr",
    u"0900936iso-ir-581028598iso_8859-8",
    u"1028599iso_8859-9",
    u"0400932sjis",
    u"0920107iso646-se0651950euc-tw",
    u"",
    u"1410007x-mac-cyrillic",
    u"",
    u"0828596ecma-114",
    u"0920108iso646-no",
    u"0900932shift-jis",
    u"1320107x-ia5-swedish",
    u"0828597ecma-118",
    u"0600932x-sjis1710008x-mac-chinesesimp",
    u"1220107sen_850200_b0851950x-euc-tw",
    u"0754936gb18030",
    u"1210079macicelandic",
    u"0628596arabic",
    u"",
    u"0701140cp01140",
    u"0700950cn-big50701141cp011410920127iso646-us",
    u"0701142cp01142",
    u"0701143cp011430310000mac1420269iso_6937-2-add",
    u"0600500ibm5000701144cp011441728598iso-8859-8 visual",
    u"1000932csshiftjis0701145cp011450620420ibm420",
    u"0300936gbk0701146cp01146",
    u"0701147cp011471620105iso_646.irv:1991",
};

struct IconvName {
  int codePage;
  const char* name;
};

// Empty names are the code pages our own code converts.
constexpr IconvName kIconvNames[] = {
    {37, "IBM037"},
    {437, "IBM437"},
    {500, "IBM500"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "IBM850"},
    {852, "IBM852"},
    {855, "IBM855"},
    {857, "IBM857"},
    {858, "CP858"},
    {860, "IBM860"},
    {861, "IBM861"},
    {862, "IBM862"},
    {863, "IBM863"},
    {864, "IBM864"},
    {865, "IBM865"},
    {866, "CP866"},
    {869, "IBM869"},
    {870, "IBM870"},
    {874, "CP874"},
    {875, "IBM875"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1026, "IBM1026"},
    {1047, "IBM1047"},
    {1140, "IBM1140"},
    {1141, "IBM1141"},
    {1142, "IBM1142"},
    {1143, "IBM1143"},
    {1144, "IBM1144"},
    {1145, "IBM1145"},
    {1146, "IBM1146"},
    {1147, "IBM1147"},
    {1148, "IBM1148"},
    {1149, "IBM1149"},
    {1200, ""},
    {1201, ""},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10001, "SHIFT_JIS"},
    {10002, "BIG5"},
    {10007, "MAC-CYRILLIC"},
    {10008, "GB2312"},
    {10017, "MAC-UK"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, ""},
    {12001, ""},
    {20105, "ISO_646.IRV:1991"},
    {20106, "ISO646-DE"},
    {20107, "ISO646-SE"},
    {20108, "ISO646-NO"},
    {20127, "US-ASCII"},
    {20261, "T.61-8BIT"},
    {20269, "ISO_6937"},
    {20273, "IBM273"},
    {20277, "IBM277"},
    {20278, "IBM278"},
    {20280, "IBM280"},
    {20284, "IBM284"},
    {20285, "IBM285"},
    {20297, "IBM297"},
    {20420, "IBM420"},
    {20423, "IBM423"},
    {20424, "IBM424"},
    {20866, "KOI8-R"},
    {20871, "IBM871"},
    {20880, "IBM880"},
    {20905, "IBM905"},
    {20932, "EUC-JP"},
    {20936, "GB2312"},
    {21025, "IBM1025"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {50229, "ISO-2022-CN-EXT"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {51950, "EUC-TW"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, ""},
};

int ParseDigits(std::u16string_view digits) {
  int value = 0;
  for (char16_t c : digits)
    value = value * 10 + (c - u'0');
  return value;
}

char16_t LowerAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

bool StartsWithUtf32(std::u16string_view name) {
  return name.substr(0, 6) == u"UTF-32";
}

}  // namespace

int CEncodingTable::BucketOf(std::u16string_view loweredName) {
  std::uint32_t sum = 0;
  for (char16_t c : loweredName)
    sum += c;
  return static_cast<int>(sum % kBucketCount);
}

int CEncodingTable::CodePageFromName(std::u16string_view name) {
  if (StartsWithUtf32(name))
    return kCodePageUtf32;
  if (name.empty() || name.size() > kLongestLookedUpName)
    return kCodePageAnsi;
  std::u16string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), LowerAscii);

  std::u16string_view bucket = kBuckets[BucketOf(lowered)];
  while (bucket.size() >= kEntryHeader) {
    const auto nameLength = static_cast<std::size_t>(ParseDigits(bucket.substr(0, kLengthDigits)));
    const std::u16string_view entryName = bucket.substr(kEntryHeader, nameLength);
    if (entryName == lowered)
      return ParseDigits(bucket.substr(kLengthDigits, kCodePageDigits));
    bucket.remove_prefix(std::min(bucket.size(), kEntryHeader + nameLength));
  }
  return kCodePageAnsi;
}

const char* CEncodingTable::IconvNameOf(int codePage) {
  for (const IconvName& entry : kIconvNames) {
    if (entry.codePage == codePage)
      return *entry.name != '\0' ? entry.name : nullptr;
  }
  return nullptr;
}

std::span<const std::u16string_view> CEncodingTable::Buckets() {
  return kBuckets;
}
