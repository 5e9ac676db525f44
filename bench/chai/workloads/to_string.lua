-- 400,000 tostring calls over values of seven kinds.
local values = {"text", 12, 2.5, 3000000000, "more", -7, 1.25}
local length = 0
for i = 0, 399999 do
  length = length + #tostring(values[i % 7 + 1])
end
print(length)
