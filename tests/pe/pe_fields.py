"""Fields of PE files for the Python checks, read with pefile: the file
offsets of the headers, the numbered resources and the string table. The one
place these checks find PE fields by themselves."""
import pefile

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24


def header_offsets(data):
    """pefile's header-only parse and the file offsets of the file header,
    the optional header, data directory 0 and the section table."""
    pe = pefile.PE(data=data, fast_load=True)
    file_header = pe.DOS_HEADER.e_lfanew + 4
    optional = file_header + 20
    directories = optional + (112 if pe.OPTIONAL_HEADER.Magic == 0x20B else 96)
    table = optional + pe.FILE_HEADER.SizeOfOptionalHeader
    return pe, file_header, optional, directories, table


def resources(pe):
    """(type, name, language) -> data for numbered entries."""
    table = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return table
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                table[(t.id, n.id, lang.id)] = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
    return table


def strings(pe, language=None):
    """Every string of the string table, of every language or of the one
    given: id -> text."""
    table = {}
    for (type_id, block, lang), data in resources(pe).items():
        if type_id != RT_STRING or language not in (None, lang):
            continue
        pos = 0
        for index in range(16):
            length = int.from_bytes(data[pos:pos + 2], "little")
            text = data[pos + 2:pos + 2 + 2 * length].decode("utf-16-le")
            pos += 2 + 2 * length
            if length:
                table[(block - 1) * 16 + index] = text
    return table
