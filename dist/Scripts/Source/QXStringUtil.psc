Scriptname QXStringUtil Hidden
; Text, hexadecimal numbers and load-independent form text ("0012AB_MyMod.esp": six hex
; digits of the local form ID, "_", the plugin file name), which survives load order changes.

String[] Function Split(String asText, String asDelimiter) global native
{The non-empty pieces of asText between occurrences of the first character of asDelimiter.}

String Function GetPlaceableTypeTag(Int aiFormType) global native
{The four-letter record type of a placeable form type (27 gives "BOOK"), or "".}

Bool Function IsCustomObjectHex(String asHexFormID) global native
{Whether the hexadecimal form ID names an object made while the game runs (mod index FF).}

Bool Function IsCustomObjectDec(Int aiFormID) global native
{Whether the form ID names an object made while the game runs (mod index 0xFF).}

Int Function GetModIndex(String asHexFormID) global native
{The mod index: the first two hexadecimal digits of the form ID.}

Int Function ResolveLoadIndependentForm(String asFormText) global native
{The current form ID of load-independent form text, or 0 when its plugin is not loaded.}

String Function GetLoadIndependentFormHex(String asHexFormID) global native
{Load-independent form text of a hexadecimal form ID; "" for a custom object.}

String Function GetLoadIndependentFormDec(Int aiFormID) global native
{Load-independent form text of a form ID; "" for a custom object.}

Int Function ResolveLoadIndependentFormAllowCustom(String asFormText) global native
{As ResolveLoadIndependentForm, also resolving custom objects.}

String Function GetLoadIndependentFormHexAllowCustom(String asHexFormID) global native
{As GetLoadIndependentFormHex, also for custom objects.}

String Function GetLoadIndependentFormDecAllowCustom(Int aiFormID) global native
{As GetLoadIndependentFormDec, also for custom objects.}

String Function FormToHex(Int aiFormID) global native
{The form ID as eight upper-case hexadecimal digits.}

String Function DecToHex(Int aiValue, Int aiBytes) global native
{The low aiBytes bytes of the value as upper-case hexadecimal digits, zero-padded.}

Int Function HexToDec(String asHex) global native
{The value of hexadecimal text (other characters count as 0), modulo 2^32.}

Function FormatStrArray(String[] asTemplates, String[] asValues, String[] asOutput) global native
{Fills each template with the values (as FormatStr) into the output element of the same index.}

String Function FormatStr(String asTemplate, String[] asValues) global native
{Fills the template: %Ns inserts value N; %Nd, %Nb and %Nf only an integer, boolean or decimal value; %N.Pf a decimal value with P digits after the point; %% is one %.}
