Scriptname QXAEUtil Hidden
; Active magic effects on actors.

Int Function GetNumActiveEffects(Actor akActor) global native
{The number of active effects on the actor; 0 for a none actor.}

ActiveMagicEffect Function GetNthActiveEffect(Actor akActor, Int aiIndex) global native
{The active effect at aiIndex (from 0); none when aiIndex is negative or not below the count.}

ActiveMagicEffect[] Function GetAllActiveEffects(Actor akActor) global native
{Every active effect on the actor in order; none when it has none.}

Int Function GetEffectKeywordCount(Actor akActor, Keyword akKeyword) global native
{The number of the actor's active effects whose magic effect carries the keyword.}

Bool Function ScaleAbilityEffects(Actor akActor, Spell akSpell, Float[] afOptions, Int[] aiMagnitudeTypes, Float[] afMagnitudeOperands, Int[] aiAreaTypes, Float[] afAreaOperands, Int[] aiDurationTypes, Float[] afDurationOperands) global native
{Re-applies the ability akSpell to the actor with its magnitudes, areas and durations scaled per effect by the type and operand arrays. afOptions holds 3 or 6 values: stack step (0 not stackable, above 0 add a stack, below 0 remove one), add the spell even when the actor lacks it, leave the spell removed when its stack empties, then optionally the extra operands for magnitude, area and duration. True when the call was rejected, otherwise whether a stack was emptied.}
